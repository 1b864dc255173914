// libFuzzer target: a decoder program's standard output, read as a canonical
// 44-byte-header WAV stream. Whatever the header says, only the bytes that
// arrive are held.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "audio/wave_stream.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* stream = kestrand::fuzz::memoryStream(data, size);
    if (stream == nullptr) return 0;
    kestrand::fuzz::quietStandardOutput();
    constexpr std::int32_t kTail = 4;
    const auto sample = kestrand::readCanonicalWaveStream(stream, kTail);
    std::fclose(stream);
    const bool whole = size >= kestrand::kCanonicalHeaderSize;
    if (sample) {
        if (!whole || sample->dataBytes != size - kestrand::kCanonicalHeaderSize) __builtin_trap();
        if (sample->bytes.size() != sample->dataBytes + std::size_t{kTail} * sample->info.blockAlign) __builtin_trap();
        for (std::size_t i = 0; i < sample->dataBytes; ++i)
            if (sample->bytes[i] != data[kestrand::kCanonicalHeaderSize + i]) __builtin_trap();
        for (std::size_t i = sample->dataBytes; i < sample->bytes.size(); ++i)
            if (sample->bytes[i] != 0) __builtin_trap();
        if (!kestrand::isUsableStreamFormat(sample->info)) __builtin_trap();
    } else if (whole) {
        // A whole RIFF/WAVE header with a usable format is always taken.
        const std::span<const std::uint8_t, kestrand::kCanonicalHeaderSize> header(data,
                                                                                   kestrand::kCanonicalHeaderSize);
        if (kestrand::isRiffWaveHeader(header) && kestrand::isUsableStreamFormat(kestrand::waveInfoFromHeader(header)))
            __builtin_trap();
    }
    return 0;
}
