#include "f0/refinement_reads.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "f0/wide_vectors.h"

namespace kestrand {

namespace {

using wide::Quad;

// The sums of four lags, one per lane: the terms of four neighbouring m of
// each lag are turned so that each lane adds its own lag's terms in order
// of m.
template <bool Energy>
[[gnu::always_inline]] inline void fourSums(const double* const* before, const double* const* after,
                                            const double* weights, int terms, double* difference, double* energy) {
    Quad sum = {0.0, 0.0, 0.0, 0.0};
    Quad power = {0.0, 0.0, 0.0, 0.0};
    const double* const b0 = before[0];
    const double* const b1 = before[1];
    const double* const b2 = before[2];
    const double* const b3 = before[3];
    const double* const a0 = after[0];
    const double* const a1 = after[1];
    const double* const a2 = after[2];
    const double* const a3 = after[3];
    int m = 0;
    for (; m + 4 <= terms; m += 4) {
        const Quad w = wide::load(weights + m);
        Quad t[4];
        Quad e[4];
        const auto lane = [&](int k, const double* before, const double* after) {
            const Quad b = wide::load(before + m);
            const Quad a = wide::load(after + m);
            const Quad d = b - a;
            t[k] = d * d * w;
            if constexpr (Energy) e[k] = (b * b + a * a) * w;
        };
        lane(0, b0, a0);
        lane(1, b1, a1);
        lane(2, b2, a2);
        lane(3, b3, a3);
        wide::transpose(t[0], t[1], t[2], t[3]);
        sum += t[0];
        sum += t[1];
        sum += t[2];
        sum += t[3];
        if constexpr (Energy) {
            wide::transpose(e[0], e[1], e[2], e[3]);
            power += e[0];
            power += e[1];
            power += e[2];
            power += e[3];
        }
    }
    for (int lane = 0; lane < 4; ++lane) {
        double d2 = sum[lane];
        double e2 = power[lane];
        for (int k = m; k < terms; ++k) {
            const double b = before[lane][k];
            const double a = after[lane][k];
            const double d = b - a;
            d2 += d * d * weights[k];
            if constexpr (Energy) e2 += (b * b + a * a) * weights[k];
        }
        difference[lane] = d2;
        energy[lane] = Energy ? e2 : 0.0;
    }
}

// The sums of two lags, one per lane of a pair: the terms of four
// neighbouring m of both lags are interleaved so that each lane adds its own
// lag's terms in order of m.
template <bool Energy>
[[gnu::always_inline]] inline void twoSums(const double* const* before, const double* const* after,
                                           const double* weights, int terms, double* difference, double* energy) {
    typedef double Pair __attribute__((vector_size(16)));
    Pair sum = {0.0, 0.0};
    Pair power = {0.0, 0.0};
    const double* const b0 = before[0];
    const double* const b1 = before[1];
    const double* const a0 = after[0];
    const double* const a1 = after[1];
    // Adds the terms of m, m + 1, m + 2, m + 3 of both lags: t of lag 0 and u
    // of lag 1, four neighbouring m each.
    const auto add = [](Pair& to, Quad t, Quad u) {
        const Quad even = __builtin_shufflevector(t, u, 0, 4, 2, 6);
        const Quad odd = __builtin_shufflevector(t, u, 1, 5, 3, 7);
        to += __builtin_shufflevector(even, even, 0, 1);
        to += __builtin_shufflevector(odd, odd, 0, 1);
        to += __builtin_shufflevector(even, even, 2, 3);
        to += __builtin_shufflevector(odd, odd, 2, 3);
    };
    int m = 0;
    for (; m + 4 <= terms; m += 4) {
        const Quad w = wide::load(weights + m);
        const Quad p = wide::load(b0 + m);
        const Quad q = wide::load(a0 + m);
        const Quad r = wide::load(b1 + m);
        const Quad t = wide::load(a1 + m);
        const Quad d0 = p - q;
        const Quad d1 = r - t;
        add(sum, d0 * d0 * w, d1 * d1 * w);
        if constexpr (Energy) add(power, (p * p + q * q) * w, (r * r + t * t) * w);
    }
    const double* const bs[2] = {b0, b1};
    const double* const as[2] = {a0, a1};
    for (int lane = 0; lane < 2; ++lane) {
        double d2 = sum[lane];
        double e2 = power[lane];
        for (int k = m; k < terms; ++k) {
            const double b = bs[lane][k];
            const double a = as[lane][k];
            const double d = b - a;
            d2 += d * d * weights[k];
            if constexpr (Energy) e2 += (b * b + a * a) * weights[k];
        }
        difference[lane] = d2;
        energy[lane] = Energy ? e2 : 0.0;
    }
}

// The sums of up to four lags (lanes beyond `lanes` are ignored).
[[gnu::always_inline]] inline void sums(const double* const* before, const double* const* after, const double* weights,
                                        int terms, int lanes, bool withEnergy, double* difference, double* energy) {
    if (lanes <= 2) {
        if (withEnergy)
            twoSums<true>(before, after, weights, terms, difference, energy);
        else
            twoSums<false>(before, after, weights, terms, difference, energy);
    } else if (withEnergy) {
        fourSums<true>(before, after, weights, terms, difference, energy);
    } else {
        fourSums<false>(before, after, weights, terms, difference, energy);
    }
}

void sumsGeneric(const double* const* before, const double* const* after, const double* weights, int terms, int lanes,
                 bool withEnergy, double* difference, double* energy) {
    sums(before, after, weights, terms, lanes, withEnergy, difference, energy);
}

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_WIDE_TARGET void sumsWide(const double* const* before, const double* const* after, const double* weights,
                                      int terms, int lanes, bool withEnergy, double* difference, double* energy) {
    sums(before, after, weights, terms, lanes, withEnergy, difference, energy);
}
#endif

}  // namespace

UnitKernels::UnitKernels() : entries_(1024) {}

void UnitKernels::build(double origin, ReaderKernel& kernel) {
    const double lo = std::ceil(origin - 2.0);
    const double hi = std::floor(origin + 2.0);
    if (!std::isfinite(origin) || !(lo <= hi) || hi - lo >= 5.0) {
        buildReaderKernel(origin, 1.0, kernel);
        return;
    }
    const int count = static_cast<int>(hi - lo) + 1;
    // The offsets exactly as the kernel's weights take them.
    std::array<std::uint64_t, 5> offsets{};
    for (int t = 0; t < count; ++t)
        offsets[static_cast<std::size_t>(t)] = std::bit_cast<std::uint64_t>((lo + static_cast<double>(t)) - origin);
    Entry& entry = entries_[static_cast<std::size_t>((offsets[0] * 0x9E3779B97F4A7C15ull) >> 54)];
    if (entry.count != count || entry.offsets != offsets) {
        buildReaderKernel(origin, 1.0, kernel);
        entry.offsets = offsets;
        entry.count = count;
        entry.usable = kernel.usable;
        entry.denominator = kernel.denominator;
        std::copy(kernel.weights.begin(), kernel.weights.end(), entry.weights.begin());
        return;
    }
    kernel.weights.assign(entry.weights.begin(), entry.weights.begin() + count);
    kernel.denominator = entry.denominator;
    kernel.usable = entry.usable;
    kernel.firstTap = static_cast<std::int64_t>(lo);
}

RefinementReads::RefinementReads(const RefinementSpan& span) : windowBase_(std::numeric_limits<double>::quiet_NaN()) {
    // Lags up to lagLimit + 2 from the base either way, and the span behind.
    const std::size_t length = static_cast<std::size_t>(span.lagLimit) + static_cast<std::size_t>(span.terms) + 16;
    for (auto& window : windows_) window.assign(length, 0.0);
    for (auto& run : runs_) run.assign(static_cast<std::size_t>(span.terms), 0.0);
    kernel_.weights.reserve(8);
}

const double* RefinementReads::readsFrom(const RefinementSpan& span, double origin, std::vector<double>& run) {
    // Origins a whole number of quarters from the window start (exact: both
    // are near each other and the difference keeps the origin's fraction).
    const double quarters = (origin - windowStart_) * 4.0;
    const auto length = static_cast<double>(windows_[0].size());
    if (quarters >= 0.0 && quarters == std::floor(quarters) &&
        std::floor(quarters / 4.0) + static_cast<double>(span.terms) <= length) {
        const auto grid = static_cast<std::size_t>(quarters);
        const std::size_t f = grid % 4;
        std::vector<double>& window = windows_[f];
        if (!filled_[f]) {
            kernels_.build(windowStart_ + static_cast<double>(f) / 4.0, kernel_);
            readRunThroughKernel(*span.stored, kernel_, static_cast<int>(window.size()), window.data());
            filled_[f] = true;
        }
        return window.data() + grid / 4;
    }
    kernels_.build(origin, kernel_);
    readRunThroughKernel(*span.stored, kernel_, span.terms, run.data());
    return run.data();
}

void RefinementReads::measure(const RefinementSpan& span, double base, const double* lags, int count, bool withEnergy,
                              RefinedDifference* out) {
    if (!(base == windowBase_)) {
        windowBase_ = base;
        // Whole when base is: the reads start lagLimit / 2 + 4 frames before it.
        windowStart_ = std::floor(base) - static_cast<double>(span.lagLimit / 2 + 4);
        filled_.fill(false);
    }
    for (int first = 0; first < count; first += 4) {
        const int lanes = std::min(4, count - first);
        const double* before[4];
        const double* after[4];
        for (int lane = 0; lane < 4; ++lane) {
            if (lane >= lanes) {
                before[lane] = before[0];
                after[lane] = after[0];
                continue;
            }
            const double lag = lags[first + lane];
            const double origin = base - lag / 2.0;
            before[lane] = readsFrom(span, origin, runs_[2 * lane]);
            after[lane] = readsFrom(span, origin + lag, runs_[2 * lane + 1]);
        }
        double difference[4];
        double energy[4];
        bool done = false;
#ifdef KESTRAND_F0_WIDE
        if (wideVectorPath()) {
            sumsWide(before, after, span.weights, span.terms, lanes, withEnergy, difference, energy);
            done = true;
        }
#endif
        if (!done) sumsGeneric(before, after, span.weights, span.terms, lanes, withEnergy, difference, energy);
        for (int lane = 0; lane < lanes; ++lane) out[first + lane] = {difference[lane], energy[lane]};
    }
}

}  // namespace kestrand
