#include "dsp/sample_view.h"

#include <algorithm>

namespace kestrand {

SampleView makeSampleView(std::span<const std::uint8_t> bytes, SampleType type, int channels) {
    SampleView view;
    view.bytes = bytes;
    view.type = type;
    view.stride = std::max(1, channels);
    const std::size_t size = static_cast<std::size_t>(sampleTypeBytes(view.type));
    if (size == 0 || bytes.size() < size) return view;
    const std::size_t step = size * static_cast<std::size_t>(view.stride);
    view.frames = static_cast<std::int64_t>((bytes.size() - size) / step) + 1;
    return view;
}

double sampleTypePadValue(SampleType type) { return toSixteenBit(type, 0.0, kEngineScales); }

double decodeFrame(const SampleView& view, std::int64_t k) {
    if (k < 0 || k >= view.frames) return sampleTypePadValue(view.type);
    const std::size_t size = static_cast<std::size_t>(sampleTypeBytes(view.type));
    const std::uint8_t* p =
        view.bytes.data() + static_cast<std::size_t>(k) * size * static_cast<std::size_t>(view.stride);
    return withSampleType(view.type, [p]<SampleType T>() { return readSixteenBit<T>(p, kEngineScales); });
}

}  // namespace kestrand
