#include "f0/difference_screen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "f0/wide_vectors.h"

namespace kestrand {

namespace {

// Room behind the signal for the lags a block computes beyond the range.
constexpr int kPadding = 64;
// The rounding of a sum grows with the additions each term goes through:
// terms are summed in blocks of kInner, kOuter / kInner of those in a group,
// and the groups into the lag's total, so a term goes through at most
// (kInner - 1) + kOuter / kInner + terms / kOuter (rounded up) additions.
constexpr int kInner = 8;
constexpr int kOuter = 64;
// The largest error of a single-precision operation whose result is below
// the normal range, flushed to zero included.
constexpr double kSingleUnderflow = 0x1p-126;

typedef float Oct __attribute__((vector_size(32)));

[[gnu::always_inline]] inline Oct loadOct(const float* p) {
    Oct v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Thirty-two lags j .. j + 31 (j even) per pass, as the exact function's
// blocks of sixteen lay them out: lags j + 2k and j + 2k + 1 start at s - k,
// so their earlier samples are neighbours in the reversed signal and their
// later ones neighbours in the signal.
[[gnu::always_inline]] inline void screenBlocks(const DifferenceScreen& screen, int span, int terms, int origin,
                                                int first, int highest, float* sums) {
    const float* w = screen.weights.data();
    for (int j = first; j <= highest; j += 32) {
        const int s = origin - (j >> 1);
        const float* early = screen.early.data() + (span - 1 - s);
        const float* late = screen.late.data() + (s + j);
        Oct total0 = {}, total1 = {}, total2 = {}, total3 = {};
        for (int group = 0; group < terms; group += kOuter) {
            const int groupEnd = std::min(terms, group + kOuter);
            Oct mid0 = {}, mid1 = {}, mid2 = {}, mid3 = {};
            for (int start = group; start < groupEnd; start += kInner) {
                Oct even0 = {}, odd0 = {}, even1 = {}, odd1 = {};
                const auto term = [&](int i) {
                    const Oct a0 = loadOct(early - i);
                    const Oct a1 = loadOct(early - i + 8);
                    const Oct weight = {w[i], w[i], w[i], w[i], w[i], w[i], w[i], w[i]};
                    const Oct de0 = a0 - loadOct(late + i);
                    const Oct do0 = a0 - loadOct(late + i + 1);
                    const Oct de1 = a1 - loadOct(late + i + 8);
                    const Oct do1 = a1 - loadOct(late + i + 9);
                    even0 += de0 * de0 * weight;
                    odd0 += do0 * do0 * weight;
                    even1 += de1 * de1 * weight;
                    odd1 += do1 * do1 * weight;
                };
                if (start + kInner <= groupEnd) {
#pragma GCC unroll 8
                    for (int k = 0; k < kInner; ++k) term(start + k);
                } else {
                    for (int i = start; i < groupEnd; ++i) term(i);
                }
                mid0 += even0;
                mid1 += odd0;
                mid2 += even1;
                mid3 += odd1;
            }
            total0 += mid0;
            total1 += mid1;
            total2 += mid2;
            total3 += mid3;
        }
        for (int k = 0; k < 8; ++k) {
            sums[j + 2 * k] = total0[k];
            sums[j + 2 * k + 1] = total1[k];
            sums[j + 16 + 2 * k] = total2[k];
            sums[j + 17 + 2 * k] = total3[k];
        }
    }
}

// The scaled signal in single precision, forwards and backwards (from the
// reversed copy, which holds the same values), and its squares (in
// prefix[k + 1], for the prefix sums).
[[gnu::always_inline]] inline void convert(const DifferenceInput& in, double sigma, DifferenceScreen& screen) {
    typedef float Four __attribute__((vector_size(16)));
    const wide::Quad scale = wide::splat(sigma);
    double* squares = screen.prefix.data() + 1;
    int k = 0;
    for (; k + 4 <= in.span; k += 4) {
        const wide::Quad v = scale * wide::load(in.signal + k);
        const Four late = __builtin_convertvector(v, Four);
        const Four early = __builtin_convertvector(scale * wide::load(in.reversed + k), Four);
        std::memcpy(screen.late.data() + k, &late, sizeof late);
        std::memcpy(screen.early.data() + k, &early, sizeof early);
        wide::store(squares + k, v * v);
    }
    for (; k < in.span; ++k) {
        const double v = sigma * in.signal[k];
        screen.late[static_cast<std::size_t>(k)] = static_cast<float>(v);
        screen.early[static_cast<std::size_t>(k)] = static_cast<float>(sigma * in.reversed[k]);
        squares[k] = v * v;
    }
}

// The sum of the squared signal, in four lanes (any order serves: it only
// sizes the scale and the bound).
[[gnu::always_inline]] inline double energyOf(const double* x, int span) {
    wide::Quad lanes = {0.0, 0.0, 0.0, 0.0};
    int k = 0;
    for (; k + 4 <= span; k += 4) {
        const wide::Quad v = wide::load(x + k);
        lanes += v * v;
    }
    double sum = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
    for (; k < span; ++k) sum += x[k] * x[k];
    return sum;
}

struct Kernels {
    void (*blocks)(const DifferenceScreen&, int, int, int, int, int, float*);
    double (*energy)(const double*, int);
    void (*convert)(const DifferenceInput&, double, DifferenceScreen&);
};

void blocksGeneric(const DifferenceScreen& screen, int span, int terms, int origin, int first, int highest,
                   float* sums) {
    screenBlocks(screen, span, terms, origin, first, highest, sums);
}
double energyGeneric(const double* x, int span) { return energyOf(x, span); }
void convertGeneric(const DifferenceInput& in, double sigma, DifferenceScreen& screen) { convert(in, sigma, screen); }

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_FUSED_TARGET void blocksFused(const DifferenceScreen& screen, int span, int terms, int origin, int first,
                                          int highest, float* sums) {
    screenBlocks(screen, span, terms, origin, first, highest, sums);
}
KESTRAND_F0_FUSED_TARGET double energyFused(const double* x, int span) { return energyOf(x, span); }
KESTRAND_F0_FUSED_TARGET void convertFused(const DifferenceInput& in, double sigma, DifferenceScreen& screen) {
    convert(in, sigma, screen);
}
#endif

Kernels kernels() {
#ifdef KESTRAND_F0_WIDE
    if (wide::fusedVectorsAvailable()) return {blocksFused, energyFused, convertFused};
#endif
    return {blocksGeneric, energyGeneric, convertGeneric};
}

}  // namespace

DifferenceScreen::DifferenceScreen(int span, int terms, int lagLimit)
    : late(static_cast<std::size_t>(span + kPadding), 0.0f),
      early(static_cast<std::size_t>(span + kPadding), 0.0f),
      weights(static_cast<std::size_t>(terms), 0.0f),
      sums(static_cast<std::size_t>(lagLimit + kPadding), 0.0f),
      bounds(static_cast<std::size_t>(lagLimit + kPadding), 0.0),
      prefix(static_cast<std::size_t>(span + 1), 0.0) {}

double DifferenceScreen::upperDifference(int j) const {
    const auto k = static_cast<std::size_t>(j);
    return (static_cast<double>(sums[k]) + bounds[k]) / scale * (1.0 + 1e-12);
}

double DifferenceScreen::lowerDifference(int j) const {
    const auto k = static_cast<std::size_t>(j);
    // Dividing by a power of two is exact unless the result is tiny.
    const double lower = (static_cast<double>(sums[k]) - bounds[k]) / scale * (1.0 - 1e-12);
    return lower > 0x1p-1000 ? lower : 0.0;
}

ScreenResult screenDifferences(const DifferenceInput& input, int lowest, int highest, DifferenceScreen& screen) {
    static const Kernels use = kernels();
    const int span = input.span;
    const int terms = input.terms;
    const double energy = use.energy(input.signal, span);
    if (!std::isfinite(energy)) return ScreenResult::NotScreened;
    if (energy == 0.0) {
        // Silent, unless the samples are merely too small to square.
        for (int k = 0; k < span; ++k)
            if (input.signal[k] != 0.0) return ScreenResult::NotScreened;
        return ScreenResult::Silent;
    }
    if (energy < 0x1p-400 || energy > 0x1p400) return ScreenResult::NotScreened;

    // sigma x is exact in double, and no sample exceeds the root of the
    // energy: sigma keeps every magnitude below 2^15 (and differences, their
    // squares and sums far inside single precision).
    int exponent = 0;
    std::frexp(std::sqrt(energy), &exponent);
    const double sigma = std::ldexp(1.0, 15 - exponent);
    use.convert(input, sigma, screen);
    if (!screen.weightsFilled) {
        // The weights are the same for every frame of an analysis.
        for (int i = 0; i < terms; ++i)
            screen.weights[static_cast<std::size_t>(i)] = static_cast<float>(input.weights[i]);
        screen.weightsFilled = true;
    }
    use.blocks(screen, span, terms, input.origin, lowest & ~1, highest, screen.sums.data());

    // The bound. With a_i, b_i the two samples of term i, c_i = sigma (a_i -
    // b_i) and d_i its single-precision value (from the rounded samples):
    // |d_i - c_i| <= rho_i = cu (sigma |a_i| + sigma |b_i|) + 2 underflow.
    // For V = sum w_i d_i^2 and T = sum w_i c_i^2 (sigma^2 times the exact
    // real sum): the single sum S is within g V of V (each term rounded at
    // most three times and added at most `roundings` - 3 times, fused or
    // not), |V - T| <= 2 sqrt(R V) + R with R = sum w_i rho_i^2 <= 8 cu^2 E +
    // 2 underflow^2 terms, E the sum of (sigma a_i)^2 + (sigma b_i)^2 (the
    // weights are at most 1), and the exact D is within gd T of T / sigma^2.
    // With 2 sqrt(R V) <= R / t + t V for t > 0 (t = sqrt(80) cu, best for V
    // a tenth of E) and V <= S / (1 - g), |S - sigma^2 D| <= A S + B E + C.
    const wide::RoundingUnits unit = wide::roundingUnits();
    const int roundings = (kInner - 1) + kOuter / kInner + (terms + kOuter - 1) / kOuter + 3;
    const double g = roundings * unit.single / (1.0 - roundings * unit.single);
    const double gd = (terms + 2) * unit.twice / (1.0 - (terms + 2) * unit.twice);
    const double cu = 2.0 * unit.single * (1.0 + unit.single);
    const double underflow = 2.0001 * kSingleUnderflow;
    const double t = std::sqrt(80.0) * cu;
    const double margin = 1.0 + 1e-9;
    const double a = (g + gd + (1.0 + gd) * t) / (1.0 - g) * margin;
    const double b = (1.0 + gd) * 8.0 * cu * cu * (1.0 / t + 1.0) * margin * margin;
    const double c = (1.0 + gd) * 2.0 * underflow * underflow * terms * (1.0 / t + 1.0) * margin + 0x1p-100;
    // E of a lag from the prefix sums of (sigma x)^2: the four prefixes it
    // takes are each within 1536 x 2^-52 of the whole sum per 1536 samples.
    double* prefix = screen.prefix.data();
    prefix[0] = 0.0;
    for (int k = 1; k <= span; ++k) prefix[k] += prefix[k - 1];
    screen.origin = input.origin;
    screen.terms = terms;
    screen.scale = sigma * sigma;
    screen.signal = input.signal;
    const double slack = b * 4.0 * (span + 1) * unit.twice * prefix[span] * margin;
    for (int j = lowest; j <= highest; ++j) {
        const int s = input.origin - (j >> 1);
        const double e = (prefix[s + terms] - prefix[s]) + (prefix[s + j + terms] - prefix[s + j]);
        screen.bounds[static_cast<std::size_t>(j)] =
            a * static_cast<double>(screen.sums[static_cast<std::size_t>(j)]) + b * e + (c + slack);
    }
    return ScreenResult::Screened;
}

}  // namespace kestrand
