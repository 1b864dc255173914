// Fast windowed-sinc reads for the synthesis hot loops. They give the same
// values as the tap-by-tap readers up to rounding: the taps of one read are
// equally spaced, so the sine and the window cosine of every tap follow from
// those of the first tap by rotation, and reads a whole number of frames apart
// share one set of weights.
#pragma once

#include <cstdint>
#include <span>

#include "dsp/sample_view.h"

namespace kestrand {

// sin(pi x) and cos(pi x), accurate to about one unit in the last place for
// |x| up to a few thousand.
void sinCosPi(double x, double& sine, double& cosine);

// The rotation constants of one kernel width b >= 1 (zero crossings b frames
// apart, support +-2b frames).
struct SincWidth {
    double width = 1.0;
    double inverse = 1.0;                       // 1 / b
    double stepCos = -1.0, stepSin = 0.0;       // rotation of the sine by pi / b
    double quarterCos = 1.0, quarterSin = 0.0;  // rotation of the window by pi / (4 b)
};
SincWidth makeSincWidth(double width);

// One read at a fractional position in frames, in sixteen-bit scale; taps
// outside the stored frames stand for a stored zero.
double readFast(const SampleView& view, double position, const SincWidth& width);

// out[i] = read(start + i * step) for i = 0 .. out.size() - 1. When step is a
// whole number every read has the same fraction and one set of weights serves
// them all.
void readFastRun(const SampleView& view, double start, double step, const SincWidth& width, std::span<double> out);

}  // namespace kestrand
