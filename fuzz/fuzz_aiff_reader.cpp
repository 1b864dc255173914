// Feeds arbitrary bytes to the AIFF reader as if they were a file.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "audio/aiff_reader.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = kestrand::fuzz::memoryStream(data, size);
    if (file == nullptr) return 0;
    kestrand::fuzz::quietStandardOutput();
    const auto sample = kestrand::readAiffStream(file, 4);
    std::fclose(file);
    if (sample) {
        // The data size never exceeds what the buffer holds before its tail.
        const std::size_t tail = 4u * sample->info.blockAlign;
        if (sample->bytes.size() != static_cast<std::size_t>(sample->dataBytes) + tail) __builtin_trap();
    }
    return 0;
}
