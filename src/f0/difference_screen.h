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
    int origin = 0;
    int terms = 0;
    double scale = 1;                // sigma^2
    const double* signal = nullptr;  // x of the screened frame
    bool weightsFilled = false;

    // A number at most D[j], and one at least D[j].
    double lowerDifference(int j) const;
    double upperDifference(int j) const;

    // Yes when the sums prove D[j] > D[k].
    bool above(int j, int k) const {
        const auto a = static_cast<std::size_t>(j);
        const auto b = static_cast<std::size_t>(k);
        return static_cast<double>(sums[a]) - static_cast<double>(sums[b]) > bounds[a] + bounds[b];
    }

    // The sign of D[j] - D[j - 1] (1, -1 or 0) where the screen settles it,
    // else 2: from the sums and their bounds, or 0 when the one sample run
    // that differs between the two lags is zero throughout (lags 2m and 2m +
    // 1 read the same earlier samples, lags 2m - 1 and 2m the same later
    // ones, so their terms are then the same numbers).
    int rise(int j) const {
        if (above(j, j - 1)) return 1;
        if (above(j - 1, j)) return -1;
        const int s = origin - (j >> 1);
        const int from = (j & 1) != 0 ? s + j - 1 : s;
        for (int k = from; k <= from + terms; ++k)
            if (signal[k] != 0.0) return 2;
        return 0;
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
