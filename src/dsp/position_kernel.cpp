#include "dsp/position_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "dsp/sinc_kernel.h"
#include "dsp/vector_lanes.h"

namespace kestrand {

StoredChannel decodeChannelZero(std::span<const std::uint8_t> data, SampleType type, int channels, std::int64_t frames,
                                std::int64_t padding) {
    StoredChannel channel;
    channel.type = type;
    channel.frames = frames;
    channel.padding = padding;
    channel.values.assign(static_cast<std::size_t>(frames + 2 * padding), 0.0);
    const auto size = static_cast<std::int64_t>(sampleTypeBytes(type));
    const std::int64_t step = size * channels;
    // Frames whose element lies wholly inside the data; the rest read as zero bytes.
    const auto available = static_cast<std::int64_t>(data.size());
    const std::int64_t whole = available < size ? 0 : std::min(frames, (available - size) / step + 1);
    double* out = channel.values.data() + padding;
    const std::uint8_t* bytes = data.data();
    withSampleType(type, [&]<SampleType T>() {
        for (std::int64_t n = 0; n < whole; ++n) out[n] = storedValue<T>(bytes + n * step);
    });
    return channel;
}

void buildReaderKernel(double origin, double width, ReaderKernel& kernel) {
    kernel.usable = false;
    kernel.weights.clear();
    if (!std::isfinite(origin) || !std::isfinite(width) || !(width > 0.0)) return;
    const double lo = std::ceil(origin - 2.0 * width);
    const double hi = std::floor(origin + 2.0 * width);
    if (!(lo <= hi)) return;
    const double step = sinc::kPi / width;
    const auto count = static_cast<std::size_t>(hi - lo) + 1;
    kernel.weights.resize(count);
    double denominator = 0.0;
    for (std::size_t t = 0; t < count; ++t) {
        const double h = ((lo + static_cast<double>(t)) - origin) * step;
        const double w = sinc::weight(h);
        kernel.weights[t] = w;
        denominator += w;
    }
    if (denominator == 0.0 || !std::isfinite(denominator)) return;
    kernel.firstTap = static_cast<std::int64_t>(lo);
    kernel.denominator = denominator;
    kernel.usable = true;
}

namespace {

// Stores four reads: each lane's kernel sum divided by the kernel's sum and
// scaled, as one read alone does it.
template <SampleType Type, class L>
[[gnu::always_inline]] inline void finishFour(const L& sum, const L& divisor, double* out) {
    const L value = sum / divisor;
    for (int k = 0; k < 4; ++k) out[k] = toSixteenBit<Type>(value[k], kAnalysisScales);
}

// Reads at origin + m for m = 0 .. count - 1 through one kernel, v pointing
// at the first tap of m = 0: each lane of a vector is one read and adds its
// taps in tap order, so every value is the one a single read gives. Taps is
// the kernel's tap count when it is known (4 or 5 at width 1, whose weights
// stay in registers), 0 for any count. L is the lane type of the copy
// (dsp/vector_lanes.h): lane for lane the same operations in both.
template <class L, SampleType Type, int Taps>
[[gnu::always_inline]] inline void kernelRun(const double* v, const double* w, std::size_t taps, double denominator,
                                             std::int64_t count, double* out) {
    const L divisor = lanes::broadcast<L>(denominator);
    std::int64_t m = 0;
    if constexpr (Taps > 0) {
        L weight[Taps];
        for (int t = 0; t < Taps; ++t) weight[t] = lanes::broadcast<L>(w[t]);
        for (; m + 8 <= count; m += 8) {
            L a = lanes::broadcast<L>(0.0);
            L b = lanes::broadcast<L>(0.0);
#pragma GCC unroll 8
            for (int t = 0; t < Taps; ++t) {
                a += weight[t] * lanes::load<L>(v + m + t);
                b += weight[t] * lanes::load<L>(v + m + 4 + t);
            }
            finishFour<Type, L>(a, divisor, out + m);
            finishFour<Type, L>(b, divisor, out + m + 4);
        }
    } else {
        // Long kernels (the low-pass reader): sixteen reads share each weight.
        for (; m + 16 <= count; m += 16) {
            L a = lanes::broadcast<L>(0.0);
            L b = a;
            L c = a;
            L d = a;
            for (std::size_t t = 0; t < taps; ++t) {
                const L weight = lanes::broadcast<L>(w[t]);
                const double* p = v + m + t;
                a += weight * lanes::load<L>(p);
                b += weight * lanes::load<L>(p + 4);
                c += weight * lanes::load<L>(p + 8);
                d += weight * lanes::load<L>(p + 12);
            }
            finishFour<Type, L>(a, divisor, out + m);
            finishFour<Type, L>(b, divisor, out + m + 4);
            finishFour<Type, L>(c, divisor, out + m + 8);
            finishFour<Type, L>(d, divisor, out + m + 12);
        }
    }
    for (; m + 4 <= count; m += 4) {
        L sum = lanes::broadcast<L>(0.0);
        for (std::size_t t = 0; t < taps; ++t) sum += lanes::broadcast<L>(w[t]) * lanes::load<L>(v + m + t);
        finishFour<Type, L>(sum, divisor, out + m);
    }
    for (; m < count; ++m) {
        double sum = 0.0;
        for (std::size_t t = 0; t < taps; ++t) sum += w[t] * v[m + t];
        out[m] = toSixteenBit<Type>(sum / denominator, kAnalysisScales);
    }
}

template <class L, SampleType Type>
[[gnu::always_inline]] inline void kernelRunOfTaps(const double* v, const double* w, std::size_t taps,
                                                   double denominator, std::int64_t count, double* out) {
    switch (taps) {
        case 4: return kernelRun<L, Type, 4>(v, w, taps, denominator, count, out);
        case 5: return kernelRun<L, Type, 5>(v, w, taps, denominator, count, out);
        default: return kernelRun<L, Type, 0>(v, w, taps, denominator, count, out);
    }
}

template <class L>
[[gnu::always_inline]] inline void kernelRunOfType(SampleType type, const double* v, const double* w, std::size_t taps,
                                                   double denominator, std::int64_t count, double* out) {
    // A plain switch rather than withSampleType: the reads must inline into
    // the caller, which may be compiled for wider vectors.
    switch (type) {
        case SampleType::U8: return kernelRunOfTaps<L, SampleType::U8>(v, w, taps, denominator, count, out);
        case SampleType::S16: return kernelRunOfTaps<L, SampleType::S16>(v, w, taps, denominator, count, out);
        case SampleType::S24: return kernelRunOfTaps<L, SampleType::S24>(v, w, taps, denominator, count, out);
        case SampleType::S32: return kernelRunOfTaps<L, SampleType::S32>(v, w, taps, denominator, count, out);
        case SampleType::F32: return kernelRunOfTaps<L, SampleType::F32>(v, w, taps, denominator, count, out);
        case SampleType::F64: return kernelRunOfTaps<L, SampleType::F64>(v, w, taps, denominator, count, out);
        case SampleType::None: return kernelRunOfTaps<L, SampleType::None>(v, w, taps, denominator, count, out);
    }
}

void kernelRunBaseline(SampleType type, const double* v, const double* w, std::size_t taps, double denominator,
                       std::int64_t count, double* out) {
    kernelRunOfType<lanes::Pair>(type, v, w, taps, denominator, count, out);
}

#ifdef KESTRAND_WIDE_VECTORS
// The same reads with AVX2 registers. Without fused multiply-add: every
// product and every sum is rounded on its own, as in the baseline.
__attribute__((target("avx2"))) void kernelRunWide(SampleType type, const double* v, const double* w, std::size_t taps,
                                                   double denominator, std::int64_t count, double* out) {
    kernelRunOfType<lanes::Wide>(type, v, w, taps, denominator, count, out);
}
#endif

// Reads at origin + m for m = 0 .. count - 1 of a usable kernel, on the
// process's vector path.
void runThroughKernel(const StoredChannel& channel, const ReaderKernel& kernel, std::int64_t origin, std::int64_t count,
                      double* out) {
    const double* v = channel.pointer(kernel.firstTap + origin);
#ifdef KESTRAND_WIDE_VECTORS
    if (wideVectorPath()) {
        kernelRunWide(channel.type, v, kernel.weights.data(), kernel.weights.size(), kernel.denominator, count, out);
        return;
    }
#endif
    kernelRunBaseline(channel.type, v, kernel.weights.data(), kernel.weights.size(), kernel.denominator, count, out);
}

}  // namespace

ReaderScale readerScale(SampleType type) {
    // Division by a power of two and multiplication by its inverse round alike.
    switch (type) {
        case SampleType::U8: return {256.0, -32640.0};
        case SampleType::S16: return {1.0, 0.0};
        case SampleType::S24: return {1.0 / 256.0, 0.0};
        case SampleType::S32: return {1.0 / 65536.0, 0.0};
        case SampleType::F32: return {kAnalysisScales.single, 0.0};
        case SampleType::F64: return {kAnalysisScales.dbl, 0.0};
        case SampleType::None: break;
    }
    return {0.0, 0.0};
}

void readRunThroughKernel(const StoredChannel& channel, const ReaderKernel& kernel, int count, double* out) {
    if (!kernel.usable) {
        std::fill(out, out + count, 0.0);
        return;
    }
    runThroughKernel(channel, kernel, 0, count, out);
}

std::vector<double> smoothAtWholePositions(const StoredChannel& channel, double width, int threadCount) {
    std::vector<double> smooth(static_cast<std::size_t>(channel.frames), 0.0);
    ReaderKernel kernel;
    buildReaderKernel(0.0, width, kernel);
    if (!kernel.usable || channel.frames == 0) return smooth;
    const std::int64_t threads =
        std::clamp<std::int64_t>(threadCount, 1, std::max<std::int64_t>(1, channel.frames / 4096));
    const std::int64_t share = (channel.frames + threads - 1) / threads;
    std::vector<std::thread> workers;
    for (std::int64_t t = 1; t < threads; ++t) {
        const std::int64_t begin = std::min(channel.frames, t * share);
        const std::int64_t end = std::min(channel.frames, begin + share);
        workers.emplace_back([&channel, &kernel, begin, end, &smooth] {
            runThroughKernel(channel, kernel, begin, end - begin, smooth.data() + begin);
        });
    }
    runThroughKernel(channel, kernel, 0, std::min(channel.frames, share), smooth.data());
    for (auto& worker : workers) worker.join();
    return smooth;
}

}  // namespace kestrand
