// libFuzzer target: the WAV image a decoder plug-in module returns. The bytes
// are the whole image; a data size beyond them is cut to what they hold.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "input/plugin_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::int32_t kTail = 4;
    const std::span<const std::uint8_t> image(data, size);
    const auto sample = kestrand::loadedSampleFromImage(image, kTail);
    if (!sample) return 0;
    if (size < kestrand::kCanonicalHeaderSize || !kestrand::isUsableStreamFormat(sample->info)) __builtin_trap();
    const std::size_t declared = kestrand::pluginImageSize(image.first<kestrand::kCanonicalHeaderSize>());
    if (sample->dataBytes != std::min(declared, size) - kestrand::kCanonicalHeaderSize) __builtin_trap();
    if (sample->bytes.size() != sample->dataBytes + std::size_t{kTail} * sample->info.blockAlign) __builtin_trap();
    for (std::size_t i = 0; i < sample->dataBytes; ++i)
        if (sample->bytes[i] != data[kestrand::kCanonicalHeaderSize + i]) __builtin_trap();
    for (std::size_t i = sample->dataBytes; i < sample->bytes.size(); ++i)
        if (sample->bytes[i] != 0) __builtin_trap();
    return 0;
}
