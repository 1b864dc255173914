// Windowed-sinc readers: the value of the first channel of an interleaved
// sample buffer at a fractional frame position, low-pass filtered when the
// width is above 1. Each reader takes the raw bytes of the buffer (sound data
// and zero tail); taps outside the buffer count in the kernel's denominator
// only, so no read ever leaves the buffer.
#pragma once

#include <cstdint>
#include <span>

namespace kestrand {

// Series value of sin(h)/h without a sine call (14 terms, 20 when |h| > pi).
double sincSeries(double h);

// Smoothing weight for power spectra: (q-4)(q-1)(q-2.25)^2 / 20.25 with q = x^2.
double envelopeKernel(double x);

// position in frames, width >= 1 (zero crossings `width` frames apart),
// stride = channel count. Results in sixteen-bit scale (the F64 readers
// return the stored scale). Taps before frame 0 or behind the last element
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

}  // namespace kestrand
