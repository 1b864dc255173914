// The difference function in single precision, with a proven bound on how
// far each value lies from the exact one: most comparisons between
// neighbouring lags are settled by these sums, so that the exact values
// (whose rounding the candidates and scores depend on) are needed only at a
// few lags.
#pragma once

#include <vector>

#include "f0/difference_function.h"

namespace kestrand {

// Per-thread storage of the screen, sized once.
struct DifferenceScreen {
    DifferenceScreen(int span, int terms, int lagLimit);

    std::vector<float> late;     // sigma x, then zeros
    std::vector<float> early;    // sigma x backwards, then zeros
    std::vector<float> weights;  // the weights rounded to single precision
    std::vector<float> sums;     // by lag: the single-precision value of sigma^2 D
    std::vector<double> bounds;  // by lag: |sums - sigma^2 D| is at most this
    std::vector<double> prefix;  // prefix[k]: the sum of (sigma x)^2 before sample k
    std::vector<int> nonzero;    // nonzero[k]: the samples before sample k that are not 0
    int origin = 0;
    int terms = 0;

    // The sign of D[j] - D[j - 1] (1, -1 or 0) where the screen settles it,
    // else 2: from the sums and their bounds, or 0 when the one sample run
    // that differs between the two lags is zero throughout (lags 2m and 2m +
    // 1 read the same earlier samples, lags 2m - 1 and 2m the same later
    // ones, so their terms are then the same numbers).
    int rise(int j) const {
        const auto a = static_cast<std::size_t>(j);
        const auto b = static_cast<std::size_t>(j - 1);
        const double step = static_cast<double>(sums[a]) - static_cast<double>(sums[b]);
        const double bound = bounds[a] + bounds[b];
        if (step > bound) return 1;
        if (-step > bound) return -1;
        const int s = origin - (j >> 1);
        const int from = (j & 1) != 0 ? s + j - 1 : s;
        return nonzero[static_cast<std::size_t>(from + terms + 1)] == nonzero[static_cast<std::size_t>(from)] ? 0 : 2;
    }
};

enum class ScreenResult {
    Screened,     // sums and bounds hold for every lag lowest .. highest
    Silent,       // the signal is zero everywhere: D is 0 at every lag
    NotScreened,  // the signal is not finite, or too small or large to scale
};

// Screens the difference function of `input` (as computeDifferenceFunction
// defines it) over lowest .. highest. The signal is scaled by a power of two
// sigma so that its magnitudes stay below 2^15, and summed in single
// precision in blocks; the bound covers every rounding of both these sums
// and the exact ones (in any rounding mode).
ScreenResult screenDifferences(const DifferenceInput& input, int lowest, int highest, DifferenceScreen& screen);

}  // namespace kestrand
