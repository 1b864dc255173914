#include "f0/analysis_signal.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <thread>

#include "dsp/fractional_readers.h"

namespace kestrand {

namespace {

// The readers' angle unit: pi to fifteen significant digits.
constexpr double kReaderPi = 3.14159265358979;

std::uint32_t littleEndian32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

double decodeStored(AnalysisSampleKind kind, const std::uint8_t* p) {
    switch (kind) {
        case AnalysisSampleKind::Unsigned8: return static_cast<double>(p[0]);
        case AnalysisSampleKind::Signed16:
            return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8))));
        case AnalysisSampleKind::Signed24: {
            const std::uint32_t u = (static_cast<std::uint32_t>(p[0]) << 8) | (static_cast<std::uint32_t>(p[1]) << 16) |
                                    (static_cast<std::uint32_t>(p[2]) << 24);
            return static_cast<double>(static_cast<std::int32_t>(u) >> 8);
        }
        case AnalysisSampleKind::Signed32: return static_cast<double>(static_cast<std::int32_t>(littleEndian32(p)));
        case AnalysisSampleKind::Float32: return static_cast<double>(std::bit_cast<float>(littleEndian32(p)));
        case AnalysisSampleKind::Float64: {
            const std::uint64_t u = static_cast<std::uint64_t>(littleEndian32(p)) |
                                    (static_cast<std::uint64_t>(littleEndian32(p + 4)) << 32);
            return std::bit_cast<double>(u);
        }
    }
    return 0.0;
}

}  // namespace

std::optional<AnalysisSampleKind> analysisSampleKind(const WaveInfo& info) {
    switch (info.bitsPerSample) {
        case 8: return AnalysisSampleKind::Unsigned8;
        case 16: return AnalysisSampleKind::Signed16;
        case 24: return AnalysisSampleKind::Signed24;
        case 32: return effectiveFormatTag(info) == 1 ? AnalysisSampleKind::Signed32 : AnalysisSampleKind::Float32;
        case 64: return AnalysisSampleKind::Float64;
        default: return std::nullopt;
    }
}

int bytesPerSample(AnalysisSampleKind kind) {
    switch (kind) {
        case AnalysisSampleKind::Unsigned8: return 1;
        case AnalysisSampleKind::Signed16: return 2;
        case AnalysisSampleKind::Signed24: return 3;
        case AnalysisSampleKind::Signed32:
        case AnalysisSampleKind::Float32: return 4;
        case AnalysisSampleKind::Float64: return 8;
    }
    return 1;
}

ReaderScale readerScale(AnalysisSampleKind kind) {
    // Division by a power of two and multiplication by its inverse round alike.
    switch (kind) {
        case AnalysisSampleKind::Unsigned8: return {256.0, -32640.0};
        case AnalysisSampleKind::Signed16: return {1.0, 0.0};
        case AnalysisSampleKind::Signed24: return {1.0 / 256.0, 0.0};
        case AnalysisSampleKind::Signed32: return {1.0 / 65536.0, 0.0};
        case AnalysisSampleKind::Float32: return {32768.0, 0.0};
        case AnalysisSampleKind::Float64: return {1.0, 0.0};
    }
    return {};
}

StoredChannel decodeChannelZero(std::span<const std::uint8_t> data, AnalysisSampleKind kind, int channels,
                                std::int64_t frames, std::int64_t padding) {
    StoredChannel channel;
    channel.kind = kind;
    channel.frames = frames;
    channel.padding = padding;
    channel.values.assign(static_cast<std::size_t>(frames + 2 * padding), 0.0);
    const auto size = static_cast<std::int64_t>(bytesPerSample(kind));
    const std::int64_t step = size * channels;
    // Frames whose element lies wholly inside the data; the rest read as zero bytes.
    const auto available = static_cast<std::int64_t>(data.size());
    const std::int64_t whole = available < size ? 0 : std::min(frames, (available - size) / step + 1);
    double* out = channel.values.data() + padding;
    const std::uint8_t* bytes = data.data();
    for (std::int64_t n = 0; n < whole; ++n) out[n] = decodeStored(kind, bytes + n * step);
    return channel;
}

void buildReaderKernel(double origin, double width, ReaderKernel& kernel) {
    kernel.usable = false;
    kernel.weights.clear();
    if (!std::isfinite(origin) || !std::isfinite(width) || !(width > 0.0)) return;
    const double lo = std::ceil(origin - 2.0 * width);
    const double hi = std::floor(origin + 2.0 * width);
    if (!(lo <= hi)) return;
    const double step = kReaderPi / width;
    const auto count = static_cast<std::size_t>(hi - lo) + 1;
    kernel.weights.resize(count);
    double denominator = 0.0;
    for (std::size_t t = 0; t < count; ++t) {
        const double h = ((lo + static_cast<double>(t)) - origin) * step;
        const double w = std::cos(h / 4.0) * sincSeries(h);
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
template <AnalysisSampleKind Kind>
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
        for (int k = 0; k < 4; ++k) out[m + k] = scaleKernelSum(Kind, sum[k]);
    }
    for (; m < count; ++m) {
        double sum = 0.0;
        for (std::size_t t = 0; t < taps; ++t) sum += w[t] * v[m + t];
        out[m] = scaleKernelSum(Kind, sum / denominator);
    }
}

[[gnu::always_inline]] inline void readRunOfKind(AnalysisSampleKind kind, const double* v, const double* w,
                                                 std::size_t taps, double denominator, int count, double* out) {
    switch (kind) {
        case AnalysisSampleKind::Unsigned8:
            return readRun<AnalysisSampleKind::Unsigned8>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Signed16:
            return readRun<AnalysisSampleKind::Signed16>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Signed24:
            return readRun<AnalysisSampleKind::Signed24>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Signed32:
            return readRun<AnalysisSampleKind::Signed32>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Float32:
            return readRun<AnalysisSampleKind::Float32>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Float64:
            return readRun<AnalysisSampleKind::Float64>(v, w, taps, denominator, count, out);
    }
}

void readRunGeneric(AnalysisSampleKind kind, const double* v, const double* w, std::size_t taps, double denominator,
                    int count, double* out) {
    readRunOfKind(kind, v, w, taps, denominator, count, out);
}

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define KESTRAND_WIDE_VECTORS 1
__attribute__((target("avx2"))) void readRunWide(AnalysisSampleKind kind, const double* v, const double* w,
                                                 std::size_t taps, double denominator, int count, double* out) {
    readRunOfKind(kind, v, w, taps, denominator, count, out);
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
        readRunWide(channel.kind, v, kernel.weights.data(), kernel.weights.size(), kernel.denominator, count, out);
        return;
    }
#endif
    readRunGeneric(channel.kind, v, kernel.weights.data(), kernel.weights.size(), kernel.denominator, count, out);
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
        out[p] = scaleKernelSum(channel.kind, a[0] / kernel.denominator);
        out[p + 1] = scaleKernelSum(channel.kind, a[1] / kernel.denominator);
        out[p + 2] = scaleKernelSum(channel.kind, b[0] / kernel.denominator);
        out[p + 3] = scaleKernelSum(channel.kind, b[1] / kernel.denominator);
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
