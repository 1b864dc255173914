// The literal windowed-sinc readers: the value of the first channel of an
// interleaved sample buffer at a fractional frame position, low-pass filtered
// when the width is above 1, tap by tap with the series form of the kernel
// (dsp/sinc_kernel.h). They define the values that the fast reads
// (dsp/sinc_fast.h, dsp/decoded_sample.h) are measured against, and the pitch
// analysis reads through them. Each reader takes the raw bytes of the buffer
// (sound data and zero tail); taps outside the buffer count in the kernel's
// denominator only, so no read ever leaves the buffer.
#pragma once

#include <cstdint>
#include <span>

#include "dsp/sample_view.h"

namespace kestrand {

// position in frames, width >= 1 (zero crossings `width` frames apart),
// stride = channel count. Results in sixteen-bit scale by the analysis
// convention of base/sample_format.h (the F64 readers return the stored
// scale). Taps before frame 0 or behind the last element
// that lies wholly in `bytes` weigh in the denominator only; a support
// entirely outside reads as stored zero (U8: -32640). A width so small that no
// tap lies in range, a zero denominator, a non-finite position or width, a
// width <= 0 or a stride < 1 give 0. Reads never allocate; each thread keeps
// the weights of its last two (fraction, width) pairs, so reads at a repeated
// fraction skip the kernel evaluation with bit-identical results.
double readFractionalU8(double position, std::span<const std::uint8_t> bytes, double width, int stride);
double readFractionalS16(double position, std::span<const std::uint8_t> bytes, double width, int stride);
double readFractionalS24(double position, std::span<const std::uint8_t> bytes, double width, int stride);
double readFractionalS32(double position, std::span<const std::uint8_t> bytes, double width, int stride);
double readFractionalF32(double position, std::span<const std::uint8_t> bytes, double width, int stride);
double readFractionalF64(double position, std::span<const std::uint8_t> bytes, double width, int stride);
// Doubles with stride 1; taps outside 0 .. values.size()-1 add nothing to the numerator.
double readFractionalF64Bounded(double position, std::span<const double> values, double width);

// The reader of the view's encoding at a position in frames (width >= 1), in
// the engine convention (doubles x 32768 too). Slow; kept as the reference
// the fast reads are measured against, and for the literal synthesis.
double readLiteral(const SampleView& view, double position, double width);

}  // namespace kestrand
