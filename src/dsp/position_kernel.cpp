#include "dsp/position_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "dsp/sinc_kernel.h"

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

using Quad = double __attribute__((vector_size(32)));

// Four reads per step, each lane summing its taps in tap order and dividing
// by the kernel's sum as one read alone does.
template <SampleType Kind>
[[gnu::always_inline]] inline void readRun(const double* v, const double* w, std::size_t taps, double denominator,
                                           int count, double* out) {
    const Quad divisor = {denominator, denominator, denominator, denominator};
    int m = 0;
    for (; m + 4 <= count; m += 4) {
        Quad sum = {0.0, 0.0, 0.0, 0.0};
        for (std::size_t t = 0; t < taps; ++t) {
            Quad values;
            std::memcpy(&values, v + m + t, sizeof values);
            sum += Quad{w[t], w[t], w[t], w[t]} * values;
        }
        sum /= divisor;
        for (int k = 0; k < 4; ++k) out[m + k] = toSixteenBit<Kind>(sum[k], kAnalysisScales);
    }
    for (; m < count; ++m) {
        double sum = 0.0;
        for (std::size_t t = 0; t < taps; ++t) sum += w[t] * v[m + t];
        out[m] = toSixteenBit<Kind>(sum / denominator, kAnalysisScales);
    }
}

[[gnu::always_inline]] inline void readRunOfKind(SampleType type, const double* v, const double* w, std::size_t taps,
                                                 double denominator, int count, double* out) {
    // A plain switch rather than withSampleType: the reads must inline into
    // the caller, which may be compiled for wider vectors.
    switch (type) {
        case SampleType::U8: return readRun<SampleType::U8>(v, w, taps, denominator, count, out);
        case SampleType::S16: return readRun<SampleType::S16>(v, w, taps, denominator, count, out);
        case SampleType::S24: return readRun<SampleType::S24>(v, w, taps, denominator, count, out);
        case SampleType::S32: return readRun<SampleType::S32>(v, w, taps, denominator, count, out);
        case SampleType::F32: return readRun<SampleType::F32>(v, w, taps, denominator, count, out);
        case SampleType::F64: return readRun<SampleType::F64>(v, w, taps, denominator, count, out);
        case SampleType::None: return readRun<SampleType::None>(v, w, taps, denominator, count, out);
    }
}

void readRunGeneric(SampleType type, const double* v, const double* w, std::size_t taps, double denominator, int count,
                    double* out) {
    readRunOfKind(type, v, w, taps, denominator, count, out);
}

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define KESTRAND_WIDE_VECTORS 1
__attribute__((target("avx2"))) void readRunWide(SampleType type, const double* v, const double* w, std::size_t taps,
                                                 double denominator, int count, double* out) {
    readRunOfKind(type, v, w, taps, denominator, count, out);
}
#endif

}  // namespace

void readRunThroughKernel(const StoredChannel& channel, const ReaderKernel& kernel, int count, double* out) {
    if (!kernel.usable) {
        std::fill(out, out + count, 0.0);
        return;
    }
    const double* v = channel.pointer(kernel.firstTap);
#ifdef KESTRAND_WIDE_VECTORS
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide) {
        readRunWide(channel.type, v, kernel.weights.data(), kernel.weights.size(), kernel.denominator, count, out);
        return;
    }
#endif
    readRunGeneric(channel.type, v, kernel.weights.data(), kernel.weights.size(), kernel.denominator, count, out);
}

namespace {

// Two neighbouring output positions per step, each lane summing its taps in
// tap order, so that every value equals the one-at-a-time sum.
using Pair = double __attribute__((vector_size(16)));

void smoothRange(const StoredChannel& channel, const ReaderKernel& kernel, std::int64_t begin, std::int64_t end,
                 double* out) {
    const std::size_t count = kernel.weights.size();
    const double* w = kernel.weights.data();
    std::int64_t p = begin;
    for (; p + 4 <= end; p += 4) {
        const double* v = channel.pointer(kernel.firstTap + p);
        Pair a = {0.0, 0.0};
        Pair b = {0.0, 0.0};
        for (std::size_t t = 0; t < count; ++t) {
            Pair weight = {w[t], w[t]};
            Pair va;
            Pair vb;
            std::memcpy(&va, v + t, sizeof va);
            std::memcpy(&vb, v + t + 2, sizeof vb);
            a += weight * va;
            b += weight * vb;
        }
        out[p] = toSixteenBit(channel.type, a[0] / kernel.denominator, kAnalysisScales);
        out[p + 1] = toSixteenBit(channel.type, a[1] / kernel.denominator, kAnalysisScales);
        out[p + 2] = toSixteenBit(channel.type, b[0] / kernel.denominator, kAnalysisScales);
        out[p + 3] = toSixteenBit(channel.type, b[1] / kernel.denominator, kAnalysisScales);
    }
    for (; p < end; ++p) out[p] = readThroughKernel(channel, kernel, p);
}

}  // namespace

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
        workers.emplace_back(
            [&channel, &kernel, begin, end, &smooth] { smoothRange(channel, kernel, begin, end, smooth.data()); });
    }
    smoothRange(channel, kernel, 0, std::min(channel.frames, share), smooth.data());
    for (auto& worker : workers) worker.join();
    return smooth;
}

}  // namespace kestrand
