#include "audio/append_sample_codec.h"

#include "base/sample_format.h"

namespace kestrand {

namespace {

// The encoding the appends write for a tag and depth: with tag 1 the integer
// depths 8, 16, 24 and 32; with any other tag 32-bit singles and 64-bit
// doubles; None (nothing written) otherwise.
SampleType appendWrittenType(std::uint16_t formatTag, std::uint16_t bits) {
    const SampleType type = sampleTypeOf(formatTag, bits);
    const bool isFloat = type == SampleType::F32 || type == SampleType::F64;
    return (formatTag == 1) != isFloat ? type : SampleType::None;
}

}  // namespace

double decodeAppendSample(std::span<const std::uint8_t> bytes, std::uint16_t formatTag, std::uint16_t bits) {
    return withSampleType(sampleTypeOf(formatTag, bits),
                          [&]<SampleType T>() { return readSixteenBit<T>(bytes.data(), kFileScales); });
}

void encodeAppendSample(double value, std::uint16_t formatTag, std::uint16_t bits, std::span<std::uint8_t> out) {
    withSampleType(appendWrittenType(formatTag, bits), [&]<SampleType T>() { storeForAppend<T>(value, out.data()); });
}

}  // namespace kestrand
