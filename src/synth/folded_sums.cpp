#include "synth/folded_sums.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "synth/fractional_readers.h"

namespace kestrand {

int foldWidth(double spacing, int half) {
    if (!(spacing >= 0.0)) return 0;
    const double limit = 2.0 * half;
    return static_cast<int>(std::min(std::floor(spacing), limit));
}

void foldedSums(std::span<const double> power, int width, double r, std::span<double> out, FoldScratch& scratch) {
    const int half = static_cast<int>(power.size()) - 1;
    const int L = std::clamp(width, 0, 2 * half);
    if (scratch.padded.size() < static_cast<std::size_t>(half + 1 + 2 * L) ||
        scratch.weights.size() < static_cast<std::size_t>(2 * L + 1)) {
        scratch.reserve(half);
    }
    // padded[k + L] = P[|k|] for |k| <= H, 0 beyond H: adding a zero term is
    // the same as leaving it out, so every bin runs over all offsets.
    double* __restrict padded = scratch.padded.data();
    for (int k = -L; k <= half + L; ++k) {
        const int bin = std::abs(k);
        padded[k + L] = bin <= half ? power[static_cast<std::size_t>(bin)] : 0.0;
    }
    double* __restrict weights = scratch.weights.data();
    for (int i = -L; i <= L; ++i) weights[i + L] = envelopeKernel(i * r);
    double* __restrict sums = out.data();
    for (int j = 0; j <= half; ++j) sums[j] = 0.0;
    // Offsets outermost: each bin still receives its terms in increasing i.
    for (int i = 0; i <= 2 * L; ++i) {
        const double w = weights[i];
        const double* row = padded + i;
        for (int j = 0; j <= half; ++j) sums[j] += w * row[j];
    }
}

double foldedSumLiteral(std::span<const double> power, int j, int width, double r) {
    const int half = static_cast<int>(power.size()) - 1;
    double sum = 0.0;
    for (int i = -width; i <= width; ++i) {
        const int bin = std::abs(j + i);
        if (bin > half) continue;
        sum += envelopeKernel(i * r) * power[static_cast<std::size_t>(bin)];
    }
    return sum;
}

}  // namespace kestrand
