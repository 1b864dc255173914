// Fast windowed-sinc reads of a sample view for the synthesis hot loops. They
// give the same values as the literal readers (dsp/sinc_literal.h) up to
// rounding: the taps of one read are equally spaced, so the sine and the
// window cosine of every tap follow from those of the first tap by rotation
// (width 1 reads a table instead), and reads a whole number of frames apart
// share one set of weights.
#pragma once

#include <cstdint>
#include <span>

#include "dsp/sample_view.h"
#include "dsp/sinc_kernel.h"

namespace kestrand {

// One read at a fractional position in frames, in sixteen-bit scale; taps
// outside the stored frames stand for a stored zero.
double readFast(const SampleView& view, double position, const SincWidth& width);

// out[i] = read(start + i * step) for i = 0 .. out.size() - 1. When step is a
// whole number every read has the same fraction and one set of weights serves
// them all.
void readFastRun(const SampleView& view, double start, double step, const SincWidth& width, std::span<double> out);

}  // namespace kestrand
