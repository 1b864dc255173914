#include "f0/difference_function.h"

#include <algorithm>
#include <cstring>

#include "f0/wide_vectors.h"

namespace kestrand {

namespace {

// Several lags per step, one lag per vector lane; every lane adds its terms
// in the written order, so each value equals the one-lag-at-a-time sum.
using Pair = double __attribute__((vector_size(16)));
using wide::Quad;

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

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_WIDE_TARGET int blocksWide(const DifferenceInput& in, int j, int highest, double* difference) {
    return blocksOfSixteen(in, j, highest, difference);
}
#endif

// Four lags of any values, one per lane: the terms of four neighbouring i of
// each lag are turned so that each lane adds its own lag's terms in order.
[[gnu::always_inline]] inline void fourLags(const DifferenceInput& in, const int* lags, double* out) {
    const double* x = in.signal;
    const double* const a0 = x + (in.origin - (lags[0] >> 1));
    const double* const a1 = x + (in.origin - (lags[1] >> 1));
    const double* const a2 = x + (in.origin - (lags[2] >> 1));
    const double* const a3 = x + (in.origin - (lags[3] >> 1));
    const double* const b0 = a0 + lags[0];
    const double* const b1 = a1 + lags[1];
    const double* const b2 = a2 + lags[2];
    const double* const b3 = a3 + lags[3];
    Quad sum = {0.0, 0.0, 0.0, 0.0};
    int i = 0;
    for (; i + 4 <= in.terms; i += 4) {
        const Quad w = wide::load(in.weights + i);
        Quad d0 = wide::load(a0 + i) - wide::load(b0 + i);
        Quad d1 = wide::load(a1 + i) - wide::load(b1 + i);
        Quad d2 = wide::load(a2 + i) - wide::load(b2 + i);
        Quad d3 = wide::load(a3 + i) - wide::load(b3 + i);
        d0 = d0 * d0 * w;
        d1 = d1 * d1 * w;
        d2 = d2 * d2 * w;
        d3 = d3 * d3 * w;
        wide::transpose(d0, d1, d2, d3);
        sum += d0;
        sum += d1;
        sum += d2;
        sum += d3;
    }
    const double* const starts[4] = {a0, a1, a2, a3};
    for (int lane = 0; lane < 4; ++lane) {
        double total = sum[lane];
        for (int k = i; k < in.terms; ++k) {
            const double d = starts[lane][k] - starts[lane][k + lags[lane]];
            total += d * d * in.weights[k];
        }
        out[lane] = total;
    }
}

// The energies of four lags of any values, one per lane, as fourLags turns
// their terms.
[[gnu::always_inline]] inline void fourEnergies(const DifferenceInput& in, const int* lags, double* out) {
    const double* x = in.signal;
    const double* const a0 = x + (in.origin - (lags[0] >> 1));
    const double* const a1 = x + (in.origin - (lags[1] >> 1));
    const double* const a2 = x + (in.origin - (lags[2] >> 1));
    const double* const a3 = x + (in.origin - (lags[3] >> 1));
    const double* const b0 = a0 + lags[0];
    const double* const b1 = a1 + lags[1];
    const double* const b2 = a2 + lags[2];
    const double* const b3 = a3 + lags[3];
    Quad sum = {0.0, 0.0, 0.0, 0.0};
    int i = 0;
    for (; i + 4 <= in.terms; i += 4) {
        const Quad w = wide::load(in.weights + i);
        const auto energy = [&](const double* a, const double* b) {
            const Quad u = wide::load(a + i);
            const Quad v = wide::load(b + i);
            return (u * u + v * v) * w;
        };
        Quad e0 = energy(a0, b0);
        Quad e1 = energy(a1, b1);
        Quad e2 = energy(a2, b2);
        Quad e3 = energy(a3, b3);
        wide::transpose(e0, e1, e2, e3);
        sum += e0;
        sum += e1;
        sum += e2;
        sum += e3;
    }
    const double* const starts[4] = {a0, a1, a2, a3};
    for (int lane = 0; lane < 4; ++lane) {
        double total = sum[lane];
        const double* a = starts[lane];
        const double* b = a + lags[lane];
        for (int k = i; k < in.terms; ++k) total += (a[k] * a[k] + b[k] * b[k]) * in.weights[k];
        out[lane] = total;
    }
}

void fourLagsGeneric(const DifferenceInput& in, const int* lags, double* out) { fourLags(in, lags, out); }
void fourEnergiesGeneric(const DifferenceInput& in, const int* lags, double* out) { fourEnergies(in, lags, out); }

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_WIDE_TARGET void fourLagsWide(const DifferenceInput& in, const int* lags, double* out) {
    fourLags(in, lags, out);
}
KESTRAND_F0_WIDE_TARGET void fourEnergiesWide(const DifferenceInput& in, const int* lags, double* out) {
    fourEnergies(in, lags, out);
}
#endif

// Runs a four-lane kernel over any number of lags, the spare lanes
// repeating the first lag.
void inFours(const DifferenceInput& in, const int* lags, int count, double* out,
             void (*kernel)(const DifferenceInput&, const int*, double*)) {
    for (int first = 0; first < count; first += 4) {
        const int lanes = std::min(4, count - first);
        int four[4];
        double values[4];
        for (int lane = 0; lane < 4; ++lane) four[lane] = lags[first + (lane < lanes ? lane : 0)];
        kernel(in, four, values);
        std::copy(values, values + lanes, out + first);
    }
}

}  // namespace

void differencesAt(const DifferenceInput& in, const int* lags, int count, double* out) {
#ifdef KESTRAND_F0_WIDE
    if (wideVectorPath()) return inFours(in, lags, count, out, fourLagsWide);
#endif
    inFours(in, lags, count, out, fourLagsGeneric);
}

void differenceEnergies(const DifferenceInput& in, const int* lags, int count, double* out) {
#ifdef KESTRAND_F0_WIDE
    if (wideVectorPath()) return inFours(in, lags, count, out, fourEnergiesWide);
#endif
    inFours(in, lags, count, out, fourEnergiesGeneric);
}

void computeDifferenceFunction(const DifferenceInput& in, int lowestLag, int highestLag, double* difference) {
    int j = lowestLag;
    if (j <= highestLag && (j & 1) != 0) {
        difference[j] = differenceAt(in, j);
        ++j;
    }
#ifdef KESTRAND_F0_WIDE
    j = wideVectorPath() ? blocksWide(in, j, highestLag, difference) : blocksGeneric(in, j, highestLag, difference);
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
