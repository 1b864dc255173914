// Random access to the first channel of a loaded voice sample, frame by
// frame, in sixteen-bit scale. The windowed-sinc reads at fractional
// positions take a view: dsp/sinc_literal.h, dsp/sinc_fast.h.
#pragma once

#include <cstdint>
#include <span>

#include "base/sample_format.h"

namespace kestrand {

struct SampleView {
    std::span<const std::uint8_t> bytes;  // sound data and zero tail
    SampleType type = SampleType::None;
    int stride = 1;           // channels: frame k starts at element k * stride
    std::int64_t frames = 0;  // frames whose first-channel element lies wholly inside `bytes`
};

// Builds the view of stored samples of one encoding with `channels`
// interleaved channels (stride = channels, at least 1).
SampleView makeSampleView(std::span<const std::uint8_t> bytes, SampleType type, int channels);

// What a tap outside the stored samples stands for: a stored zero, which
// decodes to -32640 for unsigned 8-bit and to 0 otherwise.
double sampleTypePadValue(SampleType type);

// Frame k of the first channel in sixteen-bit scale by the engine convention
// of base/sample_format.h (floats x 32768); the pad value outside
// 0 .. frames - 1.
double decodeFrame(const SampleView& view, std::int64_t k);

// The whole-sample read of equal rates: frame k, but 0 before the start.
inline double wholeFrame(const SampleView& view, std::int64_t k) { return k < 0 ? 0.0 : decodeFrame(view, k); }

}  // namespace kestrand
