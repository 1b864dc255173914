// libFuzzer target: voice-entry text files of any content must be read
// without reading outside a buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "input/voice_entry.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = kestrand::fuzz::scratchPath("fuzz_voice_entry", ".txt");
    if (!kestrand::fuzz::writeScratch(path, data, size)) return 0;

    const auto entry = kestrand::readVoiceEntry(kestrand::widen(path));
    std::remove(path.c_str());
    // The file exists, so an entry always comes back; its wave text comes
    // from the file and can never be longer than it (in characters).
    if (!entry) __builtin_trap();
    if (entry->wave && entry->wave->size() > size) __builtin_trap();
    return 0;
}
