// The difference function in single precision, with a proven bound on how
// far each value lies from the exact one: most comparisons between
// neighbouring lags are settled by these values, so that the exact ones
// (whose rounding the candidates and scores depend on) are needed only at a
// few lags.
#pragma once

#include <vector>

#include "f0/difference_function.h"

namespace kestrand {

// Per-thread storage of the screen, sized once.
struct DifferenceScreen {
    DifferenceScreen(int span, int terms, int lagLimit);

    std::vector<float> late;            // sigma x, then zeros
    std::vector<float> early;           // sigma x backwards, then zeros
    std::vector<float> weights;         // the weights rounded to single precision
    std::vector<float> products;        // by lag: the single-precision sum of w_i a_i b_i (sigma^2 scale)
    std::vector<double> values;         // by lag: sigma^2 D, estimated
    std::vector<double> bounds;         // by lag: |values - sigma^2 D| is at most this
    std::vector<double> phases;         // (1, cos, sin, 0) of the window's angle at every sample
    std::vector<double> energyWeights;  // (0.5, -0.5 cos, -0.5 sin, 0) of that angle
    std::vector<double> prefix;         // sums of (sigma x)^2 times the phases before each sample
    std::vector<double> energies;       // by start: the windowed energy of the terms' samples from there
    int origin = 0;
    int terms = 0;
    double scale = 1;                // sigma^2
    const double* signal = nullptr;  // x of the screened frame
    bool tablesFilled = false;
    double offModel = 1;  // how far the weights lie from the raised cosine

    // A number at most D[j], and one at least D[j].
    double lowerDifference(int j) const;
    double upperDifference(int j) const;

    // Yes when the screen proves D[j] > D[k].
    bool above(int j, int k) const {
        const auto a = static_cast<std::size_t>(j);
        const auto b = static_cast<std::size_t>(k);
        return values[a] - values[b] > bounds[a] + bounds[b];
    }

    // The sign of D[j] - D[j - 1] (1, -1 or 0) where the screen settles it,
    // else 2: from the values and their bounds, or 0 when the one sample run
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
    Screened,     // values and bounds hold for every lag lowest .. highest
    Silent,       // the signal is zero everywhere: D is 0 at every lag
    NotScreened,  // the signal is not finite, or too small or large to scale
};

// Screens the difference function of `input` (as computeDifferenceFunction
// defines it, with the weights w_i = 0.5 - 0.5 cos(2 pi 2 i / (2 terms))
// of the analysis' span window) over lowest .. highest. With a_i, b_i the
// two samples of term i, D = sum w_i a_i^2 + sum w_i b_i^2 - 2 sum w_i a_i b_i:
// the two windowed energies come from prefix sums (the raised cosine is a
// sum of three rotations), the sum of products from single precision, the
// signal scaled by a power of two sigma so that its magnitudes stay below
// 2^15. The bound covers every rounding of these and of the exact values
// (in any rounding mode).
ScreenResult screenDifferences(const DifferenceInput& input, int lowest, int highest, DifferenceScreen& screen);

}  // namespace kestrand
