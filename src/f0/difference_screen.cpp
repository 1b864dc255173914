#include "f0/difference_screen.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "dsp/window_tables.h"
#include "f0/wide_vectors.h"

namespace kestrand {

namespace {

// Room behind the signal for the lags a block computes beyond the range.
constexpr int kPadding = 64;
// The rounding of a sum grows with the additions each term goes through:
// terms are summed in blocks of kInner, kOuter / kInner of those in a group,
// and the groups into the lag's total, so a term goes through at most
// (kInner - 1) + kOuter / kInner + terms / kOuter (rounded up) additions.
constexpr int kInner = 16;
constexpr int kOuter = 128;
// The largest error of a single-precision operation whose result is below
// the normal range, flushed to zero included.
constexpr double kSingleUnderflow = 0x1p-126;

typedef float Oct __attribute__((vector_size(32)));
typedef float Four __attribute__((vector_size(16)));

// Eight floats as two halves of four, for the baseline copy: without AVX a
// 32-byte vector has no register and lives in memory between operations,
// while two halves stay in registers. Lane for lane the same operations.
struct OctHalves {
    Four lo, hi;
    [[gnu::always_inline]] float operator[](int k) const { return k < 4 ? lo[k] : hi[k - 4]; }
};

[[gnu::always_inline]] inline OctHalves operator*(const OctHalves& a, const OctHalves& b) {
    return {a.lo * b.lo, a.hi * b.hi};
}
[[gnu::always_inline]] inline OctHalves& operator+=(OctHalves& a, const OctHalves& b) {
    a.lo += b.lo;
    a.hi += b.hi;
    return a;
}

template <class O>
[[gnu::always_inline]] inline O loadOct(const float* p) {
    O v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class O>
[[gnu::always_inline]] inline O splatOct(float x) {
    if constexpr (std::is_same_v<O, Oct>) {
        return Oct{x, x, x, x, x, x, x, x};
    } else {
        return OctHalves{Four{x, x, x, x}, Four{x, x, x, x}};
    }
}

// Thirty-two lags j .. j + 31 (j even) per pass, as the exact function's
// blocks of sixteen lay them out: lags j + 2k and j + 2k + 1 start at s - k,
// so their earlier samples are neighbours in the reversed signal and their
// later ones neighbours in the signal. Each lane sums w_i a_i b_i.
template <class O>
[[gnu::always_inline]] inline void productBlocks(const DifferenceScreen& screen, int span, int terms, int origin,
                                                 int first, int highest, float* sums) {
    const float* w = screen.weights.data();
    for (int j = first; j <= highest; j += 32) {
        const int s = origin - (j >> 1);
        const float* early = screen.early.data() + (span - 1 - s);
        const float* late = screen.late.data() + (s + j);
        O total0{}, total1{}, total2{}, total3{};
        for (int group = 0; group < terms; group += kOuter) {
            const int groupEnd = std::min(terms, group + kOuter);
            O mid0{}, mid1{}, mid2{}, mid3{};
            for (int start = group; start < groupEnd; start += kInner) {
                O even0{}, odd0{}, even1{}, odd1{};
                const auto term = [&](int i) {
                    const O a0 = loadOct<O>(early - i);
                    const O a1 = loadOct<O>(early - i + 8);
                    const O weight = splatOct<O>(w[i]);
                    even0 += a0 * loadOct<O>(late + i) * weight;
                    odd0 += a0 * loadOct<O>(late + i + 1) * weight;
                    even1 += a1 * loadOct<O>(late + i + 8) * weight;
                    odd1 += a1 * loadOct<O>(late + i + 9) * weight;
                };
                if (start + kInner <= groupEnd) {
#pragma GCC unroll 16
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
// energies[k], for the prefix sums).
[[gnu::always_inline]] inline void convert(const DifferenceInput& in, double sigma, DifferenceScreen& screen) {
    typedef float Four __attribute__((vector_size(16)));
    const wide::Quad scale = wide::splat(sigma);
    double* squares = screen.energies.data();
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

// The windowed energy from sample t on, E(t) = sum w_i v_(t + i) with v =
// (sigma x)^2 (which convert left in `energies`), for every t: with w_i =
// 0.5 - 0.5 cos(phi i) and cos(phi (k - t)) = cos(phi k) cos(phi t) +
// sin(phi k) sin(phi t), from the prefix sums of v (1, cos(phi k), sin(phi
// k)), one per lane, and the weights (0.5, -0.5 cos(phi t), -0.5 sin(phi t))
// of their differences; four starts at a time.
[[gnu::always_inline]] inline void windowedEnergies(DifferenceScreen& screen, int span, int terms) {
    using wide::Quad;
    double* prefix = screen.prefix.data();
    const double* phases = screen.phases.data();
    double* energies = screen.energies.data();
    Quad sum = {0.0, 0.0, 0.0, 0.0};
    wide::store(prefix, sum);
    for (int k = 0; k < span; ++k) {
        sum += wide::splat(energies[k]) * wide::load(phases + 4 * k);
        wide::store(prefix + 4 * (k + 1), sum);
    }
    const double* weights = screen.energyWeights.data();
    const int starts = span - terms + 1;
    const auto part = [&](int t) {
        return (wide::load(prefix + 4 * (t + terms)) - wide::load(prefix + 4 * t)) * wide::load(weights + 4 * t);
    };
    int t = 0;
    for (; t + 4 <= starts; t += 4) {
        Quad a = part(t);
        Quad b = part(t + 1);
        Quad c = part(t + 2);
        Quad d = part(t + 3);
        wide::transpose(a, b, c, d);
        wide::store(energies + t, (a + b) + (c + d));
    }
    for (; t < starts; ++t) {
        const Quad p = part(t);
        energies[t] = (p[0] + p[1]) + (p[2] + p[3]);
    }
}

struct Kernels {
    void (*blocks)(const DifferenceScreen&, int, int, int, int, int, float*);
    double (*energy)(const double*, int);
    void (*convert)(const DifferenceInput&, double, DifferenceScreen&);
    void (*energies)(DifferenceScreen&, int, int);
};

void blocksGeneric(const DifferenceScreen& screen, int span, int terms, int origin, int first, int highest,
                   float* sums) {
    productBlocks<OctHalves>(screen, span, terms, origin, first, highest, sums);
}
double energyGeneric(const double* x, int span) { return energyOf(x, span); }
void convertGeneric(const DifferenceInput& in, double sigma, DifferenceScreen& screen) { convert(in, sigma, screen); }
void energiesGeneric(DifferenceScreen& screen, int span, int terms) { windowedEnergies(screen, span, terms); }

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_FUSED_TARGET void blocksFused(const DifferenceScreen& screen, int span, int terms, int origin, int first,
                                          int highest, float* sums) {
    productBlocks<Oct>(screen, span, terms, origin, first, highest, sums);
}
KESTRAND_F0_FUSED_TARGET double energyFused(const double* x, int span) { return energyOf(x, span); }
KESTRAND_F0_FUSED_TARGET void convertFused(const DifferenceInput& in, double sigma, DifferenceScreen& screen) {
    convert(in, sigma, screen);
}
KESTRAND_F0_FUSED_TARGET void energiesFused(DifferenceScreen& screen, int span, int terms) {
    windowedEnergies(screen, span, terms);
}
#endif

Kernels kernels() {
#ifdef KESTRAND_F0_WIDE
    if (wideVectorPath()) return {blocksFused, energyFused, convertFused, energiesFused};
#endif
    return {blocksGeneric, energyGeneric, convertGeneric, energiesGeneric};
}

}  // namespace

DifferenceScreen::DifferenceScreen(int span, int terms, int lagLimit)
    : late(static_cast<std::size_t>(span + kPadding), 0.0f),
      early(static_cast<std::size_t>(span + kPadding), 0.0f),
      weights(static_cast<std::size_t>(terms), 0.0f),
      products(static_cast<std::size_t>(lagLimit + kPadding), 0.0f),
      values(static_cast<std::size_t>(lagLimit + kPadding), 0.0),
      bounds(static_cast<std::size_t>(lagLimit + kPadding), 0.0),
      phases(4 * static_cast<std::size_t>(span + 1), 0.0),
      energyWeights(4 * static_cast<std::size_t>(span + 1), 0.0),
      prefix(4 * static_cast<std::size_t>(span + 1), 0.0),
      energies(static_cast<std::size_t>(span + 1), 0.0) {}

double DifferenceScreen::upperDifference(int j) const {
    const auto k = static_cast<std::size_t>(j);
    return (values[k] + bounds[k]) / scale * (1.0 + 1e-12);
}

double DifferenceScreen::lowerDifference(int j) const {
    const auto k = static_cast<std::size_t>(j);
    // Dividing by a power of two is exact unless the result is tiny.
    const double lower = (values[k] - bounds[k]) / scale * (1.0 - 1e-12);
    return lower > 0x1p-1000 ? lower : 0.0;
}

namespace {

// The analysis' weights as single-precision numbers, and the rotation of the
// raised cosine they follow: phases (cos, sin) of phi k at every sample k
// with phi = 2 pi / terms. Returns how far the weights lie at most from 0.5
// - 0.5 cos(phi i) as computed here; the rounding of the angles and of the
// cosines themselves adds below 1e-14 to that (the angles stay below 4 pi).
double fillTables(const DifferenceInput& input, DifferenceScreen& screen) {
    const double phi = kAnalysisTwoPi / input.terms;
    double offModel = 0.0;
    for (int i = 0; i < input.terms; ++i) {
        screen.weights[static_cast<std::size_t>(i)] = static_cast<float>(input.weights[i]);
        offModel = std::max(offModel, std::fabs(input.weights[i] - (0.5 - 0.5 * std::cos(phi * i))));
    }
    for (int k = 0; k <= input.span; ++k) {
        const auto at = 4 * static_cast<std::size_t>(k);
        const double c = std::cos(phi * k);
        const double s = std::sin(phi * k);
        screen.phases[at] = 1.0;
        screen.phases[at + 1] = c;
        screen.phases[at + 2] = s;
        screen.phases[at + 3] = 0.0;
        screen.energyWeights[at] = 0.5;
        screen.energyWeights[at + 1] = -0.5 * c;
        screen.energyWeights[at + 2] = -0.5 * s;
        screen.energyWeights[at + 3] = 0.0;
    }
    screen.tablesFilled = true;
    return std::isfinite(offModel) ? offModel : 1.0;
}

}  // namespace

ScreenResult screenDifferences(const DifferenceInput& input, int lowest, int highest, DifferenceScreen& screen) {
    const Kernels use = kernels();
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
    // The weights and phases are the same for every frame of an analysis.
    if (!screen.tablesFilled) screen.offModel = fillTables(input, screen);

    // sigma x is exact in double, and no sample exceeds the root of the
    // energy: sigma keeps every magnitude below 2^15 (and products and their
    // sums far inside single precision).
    int exponent = 0;
    std::frexp(std::sqrt(energy), &exponent);
    const double sigma = std::ldexp(1.0, 15 - exponent);
    use.convert(input, sigma, screen);
    use.blocks(screen, span, terms, input.origin, lowest & ~1, highest, screen.products.data());

    use.energies(screen, span, terms);
    const double* energies = screen.energies.data();

    // The bound. With a_i, b_i the two samples of term i and Ea, Eb the
    // windowed energies of the a and the b: D = (Ea + Eb - 2 C) / sigma^2
    // with C = sum w_i (sigma a_i)(sigma b_i), and |C| is at most (Ea + Eb) / 2.
    // The single sum of C is within (g + 3u)(1 + 3u)(Ea + Eb) / 2 of it (each
    // term's product, weight and sample roundings, and at most `roundings`
    // - 3 additions, fused or not); each energy is within the weights'
    // distance from the raised cosine plus the rounding of the prefix sums
    // (8 (span + 2) units of double precision) times the whole energy of
    // their sum; and the exact D is within gd of twice Ea + Eb.
    const wide::RoundingUnits unit = wide::roundingUnits();
    const int roundings = (kInner - 1) + kOuter / kInner + (terms + kOuter - 1) / kOuter + 3;
    const double g = roundings * unit.single / (1.0 - roundings * unit.single);
    const double gd = (terms + 2) * unit.twice / (1.0 - (terms + 2) * unit.twice);
    const double u = unit.single;
    const double margin = 1.0 + 1e-9;
    const double slope = ((g + 3.0 * u) * (1.0 + 3.0 * u) + 2.0 * gd + 8.0 * unit.twice) * margin;
    const double total = screen.prefix[4 * static_cast<std::size_t>(span)];
    const double slack = (screen.offModel + 2e-14 + 8.0 * (span + 2) * unit.twice) * total * margin;
    const double underflow = 4.0 * kSingleUnderflow * terms;
    // (slope x the estimated Ea + Eb, plus slope x their error, holds slope
    // x Ea + Eb whatever the estimate's sign.)
    const double fixed = (2.0 + 2.0 * slope) * slack + 2.0 * underflow + 0x1p-100;
    for (int j = lowest; j <= highest; ++j) {
        const int start = input.origin - (j >> 1);
        const double both = energies[start] + energies[start + j];
        screen.values[static_cast<std::size_t>(j)] =
            both - 2.0 * static_cast<double>(screen.products[static_cast<std::size_t>(j)]);
        screen.bounds[static_cast<std::size_t>(j)] = slope * both + fixed;
    }
    screen.origin = input.origin;
    screen.terms = terms;
    screen.scale = sigma * sigma;
    screen.signal = input.signal;
    return ScreenResult::Screened;
}

}  // namespace kestrand
