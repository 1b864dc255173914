#include "dsp/folded_sums.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "dsp/vector_lanes.h"

namespace kestrand {

namespace {

// Each lane is computed on its own, in the same order as scalar code would,
// so the sums do not depend on the vector width.
using namespace lanes;

// sums[j] = sum over i < taps of weights[i] * padded[i + j] for whole blocks
// of sixteen bins j < bins, then of four; returns the first bin not done.
KESTRAND_VECTOR_BODY int sumBlocksBody(const double* __restrict weights, int taps, const double* __restrict padded,
                                       int bins, double* __restrict sums) {
    int j0 = 0;
    for (; j0 + 16 <= bins; j0 += 16) {
        Lanes a = {0, 0, 0, 0}, b = a, c = a, d = a;
        const double* p = padded + j0;
        for (int i = 0; i < taps; ++i) {
            const double w = weights[i];
            const Lanes wv = {w, w, w, w};
            a += wv * load(p + i);
            b += wv * load(p + i + 4);
            c += wv * load(p + i + 8);
            d += wv * load(p + i + 12);
        }
        store(sums + j0, a);
        store(sums + j0 + 4, b);
        store(sums + j0 + 8, c);
        store(sums + j0 + 12, d);
    }
    for (; j0 + 4 <= bins; j0 += 4) {
        Lanes a = {0, 0, 0, 0};
        for (int i = 0; i < taps; ++i) {
            const double w = weights[i];
            const Lanes wv = {w, w, w, w};
            a += wv * load(padded + j0 + i);
        }
        store(sums + j0, a);
    }
    return j0;
}

int sumBlocks(const double* __restrict weights, int taps, const double* __restrict padded, int bins,
              double* __restrict sums) {
    return KESTRAND_VECTOR_CALL(sumBlocksBody, weights, taps, padded, bins, sums);
}

}  // namespace

double envelopeKernel(double x) {
    const double q = x * x;
    const double d = q - 2.25;
    return (q - 4.0) * (q - 1.0) * d * d / 20.25;
}

int foldWidth(double spacing, int half) {
    if (!(spacing >= 0.0)) return 0;
    const double limit = 2.0 * half;
    return static_cast<int>(std::min(std::floor(spacing), limit));
}

void foldedSums(std::span<const double> power, int width, double r, std::span<double> out, FoldScratch& scratch) {
    const int half = static_cast<int>(power.size()) - 1;
    const int L = std::clamp(width, 0, 2 * half);
    if (scratch.padded.size() < static_cast<std::size_t>(half + 1 + 2 * L)) {
        scratch.padded.resize(static_cast<std::size_t>(half + 1 + 2 * L));
    }
    if (scratch.weights.size() < static_cast<std::size_t>(2 * L + 1)) {
        scratch.weights.resize(static_cast<std::size_t>(2 * L + 1));
    }
    // padded[k + L] = P[|k|] for |k| <= H, 0 beyond H: adding a zero term is
    // the same as leaving it out, so every bin runs over all offsets.
    double* __restrict padded = scratch.padded.data();
    for (int k = -L; k < 0; ++k) padded[k + L] = -k <= half ? power[static_cast<std::size_t>(-k)] : 0.0;
    std::memcpy(padded + L, power.data(), static_cast<std::size_t>(half + 1) * sizeof(double));
    std::fill(padded + L + half + 1, padded + 2 * L + half + 1, 0.0);
    double* __restrict weights = scratch.weights.data();
    for (int i = -L; i <= L; ++i) weights[i + L] = envelopeKernel(i * r);
    double* __restrict sums = out.data();
    // Blocks of bins keep their sums in registers while the offsets go
    // by; each bin still receives its terms in increasing i.
    const int taps = 2 * L + 1;
    const int j0 = sumBlocks(weights, taps, padded, half + 1, sums);
    for (int j = j0; j <= half; ++j) {
        double acc = 0.0;
        for (int i = 0; i < taps; ++i) acc += weights[i] * padded[i + j];
        sums[j] = acc;
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
