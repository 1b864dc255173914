// libFuzzer target: voice-entry text files of any content must be read
// without reading outside a buffer.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "input/voice_entry.h"
#include "platform/text.h"

namespace {

const std::string& scratchPath() {
    static const std::string path = [] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder != nullptr ? folder : "/tmp") + "/fuzz_voice_entry_" + std::to_string(::getpid()) +
               ".txt";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratchPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    const auto entry = kestrand::readVoiceEntry(kestrand::widen(path));
    std::remove(path.c_str());
    // The file exists, so an entry always comes back; its wave text comes
    // from the file and can never be longer than it (in characters).
    if (!entry) __builtin_trap();
    if (entry->wave && entry->wave->size() > size) __builtin_trap();
    return 0;
}
