#include "f0/fourier_screen.h"

#include <cmath>
#include <cstring>

#include "f0/period_waves.h"
#include "f0/wide_vectors.h"

namespace kestrand {

namespace {

typedef float Oct __attribute__((vector_size(32)));

// Vectors of eight samples summed in a block before the block joins the
// total: a product goes through at most one rounding of its own,
// kBlockVectors - 1 additions in its block, length / (8 kBlockVectors)
// (rounded up) into the total, and three in the final sum of the lanes.
constexpr int kBlockVectors = 16;

[[gnu::always_inline]] inline Oct loadOct(const float* p) {
    Oct v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The sum of the eight lanes, pairwise.
[[gnu::always_inline]] inline float lanes(Oct v) {
    return ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
}

[[gnu::always_inline]] inline void twoPeriods(const float* y, const float* a, const float* b, int length, float* out) {
    Oct reA = {}, imA = {}, reB = {}, imB = {};
    const int step = 8 * kBlockVectors;
    for (int start = 0; start < length; start += step) {
        const int stop = start + step < length ? start + step : length;
        Oct ra = {}, ia = {}, rb = {}, ib = {};
        for (int i = start; i < stop; i += 8) {
            const Oct v = loadOct(y + i);
            ra += v * loadOct(a + i);
            ia += v * loadOct(a + length + i);
            rb += v * loadOct(b + i);
            ib += v * loadOct(b + length + i);
        }
        reA += ra;
        imA += ia;
        reB += rb;
        imB += ib;
    }
    out[0] = lanes(reA);
    out[1] = lanes(imA);
    out[2] = lanes(reB);
    out[3] = lanes(imB);
}

void twoGeneric(const float* y, const float* a, const float* b, int length, float* out) {
    twoPeriods(y, a, b, length, out);
}

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_FUSED_TARGET void twoFused(const float* y, const float* a, const float* b, int length, float* out) {
    twoPeriods(y, a, b, length, out);
}
#endif

}  // namespace

FourierScreen::FourierScreen(int length) : frame(static_cast<std::size_t>(length), 0.0f) {}

void prepareFourierScreen(const double* y, int length, double magnitude, FourierScreen& screen) {
    screen.usable = false;
    if (!std::isfinite(magnitude) || !(magnitude > 0x1p-300) || magnitude > 0x1p300) return;
    // sigma y sums to below 2^20 in magnitude: far inside single precision.
    int exponent = 0;
    std::frexp(magnitude, &exponent);
    screen.scale = std::ldexp(1.0, 20 - exponent);
    for (int i = 0; i < length; ++i)
        screen.frame[static_cast<std::size_t>(i)] = static_cast<float>(screen.scale * y[i]);
    // With Y the sum of |y| (magnitude is at least that): the frame's
    // rounding moves each term by u sigma |y_i| (and an underflow), the
    // tables' by kFloatWaveError, the single sums by `roundings` units of
    // the sum of |terms| (at most (1 + u)(1 + table error) sigma Y), and the
    // exact sums lie within (length + 1) units of double precision of Y of
    // the real sums.
    const wide::RoundingUnits unit = wide::roundingUnits();
    const int roundings = 1 + (kBlockVectors - 1) + (length + 8 * kBlockVectors - 1) / (8 * kBlockVectors) + 3;
    const double g = roundings * unit.single / (1.0 - roundings * unit.single);
    const double gd = (length + 1) * unit.twice / (1.0 - (length + 1) * unit.twice);
    const double table = kFloatWaveError;
    const double relative = g * (1.0 + unit.single) * (1.0 + table) + unit.single + 2.0 * table + gd;
    const double underflow = 4.0 * 0x1p-126 * length / screen.scale;
    screen.error = (relative * magnitude + underflow) * (1.0 + 1e-6);
    screen.usable = true;
}

void fourierEstimates(const FourierScreen& screen, const PeriodWaves& waves, int a, int b, int length, double* out) {
    const auto two = [] {
#ifdef KESTRAND_F0_WIDE
        if (wideVectorPath()) return twoFused;
#endif
        return twoGeneric;
    }();
    float sums[4];
    two(screen.frame.data(), waves.floatWave(a), waves.floatWave(b), length, sums);
    for (int k = 0; k < 4; ++k) out[k] = static_cast<double>(sums[k]) / screen.scale;
}

}  // namespace kestrand
