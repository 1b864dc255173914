#include "f0/difference_function.h"

#include <cstring>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define KESTRAND_WIDE_VECTORS 1
#endif

namespace kestrand {

namespace {

// Several lags per step, one lag per vector lane; every lane adds its terms
// in the written order, so each value equals the one-lag-at-a-time sum.
using Pair = double __attribute__((vector_size(16)));
using Quad = double __attribute__((vector_size(32)));

double differenceAt(const DifferenceInput& in, int lag) {
    const double* x = in.signal + (in.origin - (lag >> 1));
    double sum = 0.0;
    for (int i = 0; i < in.terms; ++i) {
        const double d = x[i] - x[i + lag];
        sum += d * d * in.weights[i];
    }
    return sum;
}

// Sixteen lags j .. j + 15 (j even) per pass. Lags j + 2k and j + 2k + 1
// start at s - k, so the earlier samples of the four even (or odd) lags are
// four neighbours of the reversed signal and the later ones four neighbours
// of the signal.
[[gnu::always_inline]] inline int blocksOfSixteen(const DifferenceInput& in, int j, int highest, double* difference) {
    const double* x = in.signal;
    const double* w = in.weights;
    for (; j + 15 <= highest; j += 16) {
        const int s = in.origin - (j >> 1);
        const double* early = in.reversed + (in.span - 1 - s);
        const double* late = x + s + j;
        Quad even0 = {0, 0, 0, 0}, odd0 = {0, 0, 0, 0}, even1 = {0, 0, 0, 0}, odd1 = {0, 0, 0, 0};
        for (int i = 0; i < in.terms; ++i) {
            Quad a0, a1, e0, o0, e1, o1;
            std::memcpy(&a0, early - i, sizeof a0);
            std::memcpy(&a1, early - i + 4, sizeof a1);
            std::memcpy(&e0, late + i, sizeof e0);
            std::memcpy(&o0, late + i + 1, sizeof o0);
            std::memcpy(&e1, late + i + 4, sizeof e1);
            std::memcpy(&o1, late + i + 5, sizeof o1);
            const Quad weight = {w[i], w[i], w[i], w[i]};
            const Quad de0 = a0 - e0, do0 = a0 - o0, de1 = a1 - e1, do1 = a1 - o1;
            even0 += de0 * de0 * weight;
            odd0 += do0 * do0 * weight;
            even1 += de1 * de1 * weight;
            odd1 += do1 * do1 * weight;
        }
        for (int k = 0; k < 4; ++k) {
            difference[j + 2 * k] = even0[k];
            difference[j + 2 * k + 1] = odd0[k];
            difference[j + 8 + 2 * k] = even1[k];
            difference[j + 9 + 2 * k] = odd1[k];
        }
    }
    return j;
}

int blocksGeneric(const DifferenceInput& in, int j, int highest, double* difference) {
    return blocksOfSixteen(in, j, highest, difference);
}

#ifdef KESTRAND_WIDE_VECTORS
__attribute__((target("avx2"))) int blocksWide(const DifferenceInput& in, int j, int highest, double* difference) {
    return blocksOfSixteen(in, j, highest, difference);
}

bool wideVectorsAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}
#endif

}  // namespace

void computeDifferenceFunction(const DifferenceInput& in, int lowestLag, int highestLag, double* difference) {
    int j = lowestLag;
    if (j <= highestLag && (j & 1) != 0) {
        difference[j] = differenceAt(in, j);
        ++j;
    }
#ifdef KESTRAND_WIDE_VECTORS
    j = wideVectorsAvailable() ? blocksWide(in, j, highestLag, difference)
                               : blocksGeneric(in, j, highestLag, difference);
#else
    j = blocksGeneric(in, j, highestLag, difference);
#endif
    // Lags j and j + 1 (j even) start at the same sample: one pair per pass.
    for (; j + 1 <= highestLag; j += 2) {
        const double* x = in.signal + (in.origin - (j >> 1));
        Pair acc = {0.0, 0.0};
        for (int i = 0; i < in.terms; ++i) {
            Pair later;
            std::memcpy(&later, x + i + j, sizeof later);
            const Pair d = Pair{x[i], x[i]} - later;
            acc += d * d * Pair{in.weights[i], in.weights[i]};
        }
        difference[j] = acc[0];
        difference[j + 1] = acc[1];
    }
    if (j <= highestLag) difference[j] = differenceAt(in, j);
}

double differenceEnergy(const DifferenceInput& in, int lag) {
    const double* x = in.signal + (in.origin - (lag >> 1));
    double sum = 0.0;
    for (int i = 0; i < in.terms; ++i) sum += (x[i] * x[i] + x[i + lag] * x[i + lag]) * in.weights[i];
    return sum;
}

}  // namespace kestrand
