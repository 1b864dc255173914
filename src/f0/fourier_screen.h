// The Fourier sums of a windowed frame at candidate periods in single
// precision, with a proven bound on how far each lies from the exact sums
// the candidate score takes: most choices among candidates are settled by
// them, so that the exact sums (and their sine and cosine tables) are
// needed only for near ties.
#pragma once

#include <vector>

namespace kestrand {

class PeriodWaves;

// Per-thread storage of the screen, sized once for the window length.
struct FourierScreen {
    explicit FourierScreen(int length);

    std::vector<float> frame;  // sigma y
    double scale = 1;          // sigma, a power of two
    // Re and Im from fourierEstimates lie within this of the exact sums.
    double error = 0;
    bool usable = false;
};

// Prepares the screen for the windowed frame y of `length` samples (a
// multiple of 8) whose sum of magnitudes is `magnitude`: not usable when
// that is not finite, zero, or too small or large to scale.
void prepareFourierScreen(const double* y, int length, double magnitude, FourierScreen& screen);

// Re and Im at the periods a and b (the same twice serves for one): out =
// {Re(a), Im(a), Re(b), Im(b)}, each within screen.error of the sum of y[i]
// x wave(tau)[2 i] (and [2 i + 1]) as the score adds it.
void fourierEstimates(const FourierScreen& screen, const PeriodWaves& waves, int a, int b, int length, double* out);

}  // namespace kestrand
