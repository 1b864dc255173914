#include "dsp/sinc_literal.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/sample_format.h"
#include "dsp/sinc_kernel.h"

namespace kestrand {
namespace {

// Tap indices stay below 2^52 in magnitude, so every index converts to a
// double exactly and consecutive taps are consecutive doubles.
constexpr double kTapLimit = 4503599627370496.0;

// Index of the last element that lies wholly inside a buffer of `size` bytes
// when element i starts at byte i * step and is `elementSize` bytes long;
// -1 when not even element 0 fits.
std::int64_t lastWholeElement(std::size_t size, std::size_t elementSize, std::size_t step) {
    if (size < elementSize) return -1;
    return static_cast<std::int64_t>((size - elementSize) / step);
}

// The weights of the last read on this thread. A weight depends only on the
// fraction of the position, the width and the tap's offset from the
// position's integer part (i - a is exactly k - f for tap i = n + k and
// position a = n + f), so reads with the same fraction, width and relative
// tap range reuse them unchanged: the pitch analysis reads whole-frame
// positions at one width, the worker many positions with one fraction.
// The integer part is a truncated toward zero: a - trunc(a) is exact for
// every double, whereas a - floor(a) rounds for -1 < a < 0, and two
// positions with one rounded fraction would share weights that differ.
// Two sets are kept, so that reads alternating between two fractions (a
// signal compared with itself one period later) or two widths both hit.
constexpr std::size_t kCachedTaps = 1024;
struct CachedWeights {
    double fraction = -2.0;  // never a real fraction: the first reads fill the sets
    double width = 0.0;
    double firstOffset = 0.0;
    std::size_t count = 0;
    double denominator = 0.0;
    double weights[kCachedTaps];
};
struct WeightCache {
    CachedWeights sets[2];
    int lastUsed = 0;
};
thread_local WeightCache cache;

// The cached weights for this key, computed into the less recently used set
// when neither set holds them.
const CachedWeights& cachedWeights(double a, double step, double fraction, double width, double firstOffset,
                                   std::int64_t lo, std::size_t count) {
    for (int k = 0; k < 2; ++k) {
        const CachedWeights& set = cache.sets[k];
        if (fraction == set.fraction && width == set.width && firstOffset == set.firstOffset && count == set.count) {
            cache.lastUsed = k;
            return set;
        }
    }
    const int victim = 1 - cache.lastUsed;
    CachedWeights& set = cache.sets[victim];
    sinc::kernelWeights(static_cast<double>(lo), a, step, count, set.weights);
    double sum = 0.0;
    for (std::size_t k = 0; k < count; ++k) sum += set.weights[k];
    set.fraction = fraction;
    set.width = width;
    set.firstOffset = firstOffset;
    set.count = count;
    set.denominator = sum;
    cache.lastUsed = victim;
    return set;
}

// Reads wider than the cache go block by block through this many taps.
constexpr std::size_t kBlockTaps = 256;

// Numerator over taps firstIn .. lastIn from the weights of taps first .. ,
// added in tap order.
template <class Load>
double weightedSum(const double* weights, std::int64_t first, std::int64_t firstIn, std::int64_t lastIn, Load& load) {
    double sum = 0.0;
    for (std::int64_t i = firstIn; i <= lastIn; ++i) sum += weights[i - first] * load(i);
    return sum;
}

// The kernel sum shared by every reader: r = sum(w_i v_i) / sum(w_i), where
// the numerator takes only the taps 0 .. lastValid (the stored samples) and
// the denominator takes every tap of the support. `load(i)` returns the stored
// value of tap i and is only called for 0 <= i <= lastValid. Both sums add
// their terms in tap order, exactly as one loop over the taps would. Returns
// nothing when the result is undefined: non-finite arguments, a width of 0 or
// less, no integer inside the support, or a zero or non-finite denominator.
template <class Load>
std::optional<double> kernelSum(double a, double b, std::int64_t lastValid, Load load) {
    if (!std::isfinite(a) || !std::isfinite(b) || !(b > 0.0)) return std::nullopt;
    const double loD = std::ceil(a - 2.0 * b);
    const double hiD = std::floor(a + 2.0 * b);
    if (!(loD <= hiD)) return std::nullopt;
    // A support wholly before or behind the stored samples has nothing in its
    // numerator: the normalised sum is 0 without looking at the weights.
    if (hiD < 0.0 || loD > static_cast<double>(lastValid)) return 0.0;

    const std::int64_t lo = static_cast<std::int64_t>(std::max(loD, -kTapLimit));
    const std::int64_t hi = static_cast<std::int64_t>(std::min(hiD, kTapLimit));
    const std::int64_t firstIn = std::max<std::int64_t>(lo, 0);
    const std::int64_t lastIn = std::min(hi, lastValid);
    const std::size_t count = static_cast<std::size_t>(hi - lo) + 1;
    const double step = sinc::kPi / b;

    double numerator = 0.0;
    double denominator = 0.0;
    if (sinc::paddedTapCount(count) <= kCachedTaps && std::fabs(a) < kTapLimit) {
        const double whole = std::trunc(a);
        const double fraction = a - whole;
        const double firstOffset = static_cast<double>(lo) - whole;
        const CachedWeights& set = cachedWeights(a, step, fraction, b, firstOffset, lo, count);
        denominator = set.denominator;
        numerator = weightedSum(set.weights, lo, firstIn, lastIn, load);
    } else {
        double block[kBlockTaps];
        for (std::int64_t first = lo; first <= hi; first += static_cast<std::int64_t>(kBlockTaps)) {
            const std::int64_t last = std::min(hi, first + static_cast<std::int64_t>(kBlockTaps) - 1);
            sinc::kernelWeights(static_cast<double>(first), a, step, static_cast<std::size_t>(last - first) + 1, block);
            for (std::int64_t i = first; i <= last; ++i) denominator += block[i - first];
            const std::int64_t from = std::max(first, firstIn);
            const std::int64_t to = std::min(last, lastIn);
            for (std::int64_t i = from; i <= to; ++i) numerator += block[i - first] * load(i);
        }
    }

    if (denominator == 0.0 || !std::isfinite(denominator)) return std::nullopt;
    return numerator / denominator;
}

// Byte readers: element i of the channel lies at byte i * stride * element
// size; the kernel sum of stored values is scaled as the analysis reads
// (doubles stay as stored).
template <SampleType T>
double readBytes(double position, std::span<const std::uint8_t> bytes, double width, int stride) {
    if (stride < 1) return 0.0;
    constexpr auto elementSize = static_cast<std::size_t>(sampleTypeBytes(T));
    const std::size_t step = static_cast<std::size_t>(stride) * elementSize;
    const std::uint8_t* data = bytes.data();
    const auto r =
        kernelSum(position, width, lastWholeElement(bytes.size(), elementSize, step),
                  [data, step](std::int64_t i) { return storedValue<T>(data + static_cast<std::size_t>(i) * step); });
    return r ? toSixteenBit<T>(*r, kAnalysisScales) : 0.0;
}

}  // namespace

double readFractionalU8(double position, std::span<const std::uint8_t> bytes, double width, int stride) {
    return readBytes<SampleType::U8>(position, bytes, width, stride);
}

double readFractionalS16(double position, std::span<const std::uint8_t> bytes, double width, int stride) {
    return readBytes<SampleType::S16>(position, bytes, width, stride);
}

double readFractionalS24(double position, std::span<const std::uint8_t> bytes, double width, int stride) {
    return readBytes<SampleType::S24>(position, bytes, width, stride);
}

double readFractionalS32(double position, std::span<const std::uint8_t> bytes, double width, int stride) {
    return readBytes<SampleType::S32>(position, bytes, width, stride);
}

double readFractionalF32(double position, std::span<const std::uint8_t> bytes, double width, int stride) {
    return readBytes<SampleType::F32>(position, bytes, width, stride);
}

double readFractionalF64(double position, std::span<const std::uint8_t> bytes, double width, int stride) {
    return readBytes<SampleType::F64>(position, bytes, width, stride);
}

double readFractionalF64Bounded(double position, std::span<const double> values, double width) {
    const double* data = values.data();
    const auto r = kernelSum(position, width, static_cast<std::int64_t>(values.size()) - 1,
                             [data](std::int64_t i) { return data[i]; });
    return r ? *r : 0.0;
}

double readLiteral(const SampleView& view, double position, double width) {
    switch (view.type) {
        case SampleType::U8: return readFractionalU8(position, view.bytes, width, view.stride);
        case SampleType::S16: return readFractionalS16(position, view.bytes, width, view.stride);
        case SampleType::S24: return readFractionalS24(position, view.bytes, width, view.stride);
        case SampleType::S32: return readFractionalS32(position, view.bytes, width, view.stride);
        case SampleType::F32: return readFractionalF32(position, view.bytes, width, view.stride);
        case SampleType::F64: return readFractionalF64(position, view.bytes, width, view.stride) * kEngineScales.dbl;
        case SampleType::None: break;
    }
    return 0.0;
}

}  // namespace kestrand
