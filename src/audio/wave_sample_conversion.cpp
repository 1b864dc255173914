#include "audio/wave_sample_conversion.h"

#include <algorithm>

#include "base/sample_format.h"

namespace kestrand {

namespace {

// The encoding the writer stores for a depth: 32 bits are floats only with
// tag 3, integers otherwise.
SampleType writtenType(int bitsPerSample, int formatTag) {
    return sampleTypeOf(formatTag == 3 ? 3 : 1, static_cast<std::uint16_t>(std::clamp(bitsPerSample, 0, 0xFFFF)));
}

}  // namespace

std::size_t decodedSampleBytes(int bitsPerSample) {
    return static_cast<std::size_t>(
        sampleTypeBytes(sampleTypeOf(1, static_cast<std::uint16_t>(std::clamp(bitsPerSample, 0, 0xFFFF)))));
}

void decodeSamples(std::span<const std::uint8_t> raw, int bitsPerSample, std::uint16_t formatTag,
                   std::span<double> out) {
    const SampleType type = sampleTypeOf(formatTag, static_cast<std::uint16_t>(std::clamp(bitsPerSample, 0, 0xFFFF)));
    const auto size = static_cast<std::size_t>(sampleTypeBytes(type));
    if (size == 0) return;
    const std::size_t count = std::min(out.size(), raw.size() / size);
    const std::uint8_t* p = raw.data();
    withSampleType(type, [&]<SampleType T>() {
        for (std::size_t i = 0; i < count; ++i) out[i] = readSixteenBit<T>(p + size * i, kFileScales);
    });
}

std::size_t encodedSampleBytes(int bitsPerSample) { return decodedSampleBytes(bitsPerSample); }

void encodeSamples(std::span<const double> in, int bitsPerSample, int formatTag, std::vector<std::uint8_t>& out) {
    const SampleType type = writtenType(bitsPerSample, formatTag);
    const auto size = static_cast<std::size_t>(sampleTypeBytes(type));
    if (size == 0 || in.empty()) return;
    const std::size_t start = out.size();
    out.resize(start + size * in.size());
    std::uint8_t* p = out.data() + start;
    withSampleType(type, [&]<SampleType T>() {
        for (std::size_t i = 0; i < in.size(); ++i) storeForWaveWriter<T>(in[i], p + size * i);
    });
}

}  // namespace kestrand
