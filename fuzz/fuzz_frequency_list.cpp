// libFuzzer target: list files of any content must load or be refused
// without reading outside a buffer, and a loaded list must be consistent.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "f0/frequency_list.h"
#include "platform/text.h"

namespace {

const std::string& scratchPath() {
    static const std::string path = [] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder != nullptr ? folder : "/tmp") + "/fuzz_frequency_list_" + std::to_string(::getpid()) +
               ".frq";
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

    const auto list = kestrand::loadFrequencyList(kestrand::widen(path));
    if (list) {
        const auto count = static_cast<std::size_t>(list->listSize);
        if (list->listSize < 1 || list->frequencies.size() != count + 1 || list->amplitudes.size() != count + 1 ||
            size < 40 + 16 * count)
            std::abort();
    }
    return 0;
}
