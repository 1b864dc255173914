#include "dsp/folded_sums.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "dsp/vector_lanes.h"

namespace kestrand {

namespace {

// Each lane is computed on its own, in the same order as scalar code would,
// so the sums do not depend on the vector width.
using namespace lanes;

// How many vectors of sums a block keeps in registers: eight in the wide
// copy (sixteen registers of four lanes), four in the baseline (a vector is
// two of its sixteen registers; eight on 32-bit x86, so two there).
template <class Lanes>
constexpr int blockVectors() {
#ifdef KESTRAND_WIDE_VECTORS
    if constexpr (std::is_same_v<Lanes, Wide>) return 8;
#endif
#if defined(__x86_64__) || !defined(__i386__)
    return 4;
#else
    return 2;
#endif
}

// sums[j] = sum over i < taps of weight i * padded[i + j] for whole blocks of
// bins j < bins, then four at a time; returns the first bin not done. The
// weights come four copies each (`spread`), so one load gives a vector of
// them. Each bin still receives its terms in increasing i.
template <class Lanes>
KESTRAND_VECTOR_BODY int sumBlocksBody(const double* __restrict spread, int taps, const double* __restrict padded,
                                       int bins, double* __restrict sums) {
    constexpr int vectors = blockVectors<Lanes>();
    int j0 = 0;
    for (; j0 + 4 * vectors <= bins; j0 += 4 * vectors) {
        Lanes acc[vectors];
        for (Lanes& a : acc) a = broadcast<Lanes>(0.0);
        const double* p = padded + j0;
        for (int i = 0; i < taps; ++i) {
            const Lanes w = load<Lanes>(spread + 4 * i);
            for (int v = 0; v < vectors; ++v) acc[v] += w * load<Lanes>(p + i + 4 * v);
        }
        for (int v = 0; v < vectors; ++v) store(sums + j0 + 4 * v, acc[v]);
    }
    for (; j0 + 4 <= bins; j0 += 4) {
        Lanes a = broadcast<Lanes>(0.0);
        for (int i = 0; i < taps; ++i) a += load<Lanes>(spread + 4 * i) * load<Lanes>(padded + j0 + i);
        store(sums + j0, a);
    }
    return j0;
}

int sumBlocks(const double* __restrict spread, int taps, const double* __restrict padded, int bins,
              double* __restrict sums) {
    return KESTRAND_VECTOR_CALL(sumBlocksBody, spread, taps, padded, bins, sums);
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
    if (scratch.weights.size() < static_cast<std::size_t>(4 * (2 * L + 1))) {
        scratch.weights.resize(static_cast<std::size_t>(4 * (2 * L + 1)));
    }
    // padded[k + L] = P[|k|] for |k| <= H, 0 beyond H: adding a zero term is
    // the same as leaving it out, so every bin runs over all offsets.
    double* __restrict padded = scratch.padded.data();
    for (int k = -L; k < 0; ++k) padded[k + L] = -k <= half ? power[static_cast<std::size_t>(-k)] : 0.0;
    std::memcpy(padded + L, power.data(), static_cast<std::size_t>(half + 1) * sizeof(double));
    std::fill(padded + L + half + 1, padded + 2 * L + half + 1, 0.0);
    double* __restrict spread = scratch.weights.data();
    for (int i = -L; i <= L; ++i) {
        const double weight = envelopeKernel(i * r);
        for (int k = 0; k < 4; ++k) spread[4 * (i + L) + k] = weight;
    }
    double* __restrict sums = out.data();
    // Blocks of bins keep their sums in registers while the offsets go
    // by; each bin still receives its terms in increasing i.
    const int taps = 2 * L + 1;
    const int j0 = sumBlocks(spread, taps, padded, half + 1, sums);
    for (int j = j0; j <= half; ++j) {
        double acc = 0.0;
        for (int i = 0; i < taps; ++i) acc += spread[4 * i] * padded[i + j];
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
