#include "f0/analysis_signal.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <thread>

#include "dsp/fractional_readers.h"
#include "f0/wide_vectors.h"

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

using wide::Quad;

// Stores four reads: each lane's kernel sum divided by the kernel's sum and
// scaled, as one read alone does it.
template <AnalysisSampleKind Kind>
[[gnu::always_inline]] inline void finishFour(Quad sum, Quad divisor, double* out) {
    const Quad value = sum / divisor;
    for (int k = 0; k < 4; ++k) out[k] = scaleKernelSum(Kind, value[k]);
}

// Reads at origin + m for m = 0 .. count - 1 through one kernel, v pointing
// at the first tap of m = 0: each lane of a vector is one read and adds its
// taps in tap order, so every value is the one a single read gives. Taps is
// the kernel's tap count when it is known (4 or 5 at width 1, whose weights
// stay in registers), 0 for any count.
template <AnalysisSampleKind Kind, int Taps>
[[gnu::always_inline]] inline void kernelRun(const double* v, const double* w, std::size_t taps, double denominator,
                                             std::int64_t count, double* out) {
    const Quad divisor = wide::splat(denominator);
    std::int64_t m = 0;
    if constexpr (Taps > 0) {
        Quad weight[Taps];
        for (int t = 0; t < Taps; ++t) weight[t] = wide::splat(w[t]);
        for (; m + 8 <= count; m += 8) {
            Quad a = {0.0, 0.0, 0.0, 0.0};
            Quad b = {0.0, 0.0, 0.0, 0.0};
#pragma GCC unroll 8
            for (int t = 0; t < Taps; ++t) {
                a += weight[t] * wide::load(v + m + t);
                b += weight[t] * wide::load(v + m + 4 + t);
            }
            finishFour<Kind>(a, divisor, out + m);
            finishFour<Kind>(b, divisor, out + m + 4);
        }
    } else {
        // Long kernels (the low-pass reader): sixteen reads share each weight.
        for (; m + 16 <= count; m += 16) {
            Quad a = {0.0, 0.0, 0.0, 0.0};
            Quad b = a;
            Quad c = a;
            Quad d = a;
            for (std::size_t t = 0; t < taps; ++t) {
                const Quad weight = wide::splat(w[t]);
                const double* p = v + m + t;
                a += weight * wide::load(p);
                b += weight * wide::load(p + 4);
                c += weight * wide::load(p + 8);
                d += weight * wide::load(p + 12);
            }
            finishFour<Kind>(a, divisor, out + m);
            finishFour<Kind>(b, divisor, out + m + 4);
            finishFour<Kind>(c, divisor, out + m + 8);
            finishFour<Kind>(d, divisor, out + m + 12);
        }
    }
    for (; m + 4 <= count; m += 4) {
        Quad sum = {0.0, 0.0, 0.0, 0.0};
        for (std::size_t t = 0; t < taps; ++t) sum += wide::splat(w[t]) * wide::load(v + m + t);
        finishFour<Kind>(sum, divisor, out + m);
    }
    for (; m < count; ++m) {
        double sum = 0.0;
        for (std::size_t t = 0; t < taps; ++t) sum += w[t] * v[m + t];
        out[m] = scaleKernelSum(Kind, sum / denominator);
    }
}

template <AnalysisSampleKind Kind>
[[gnu::always_inline]] inline void kernelRunOfTaps(const double* v, const double* w, std::size_t taps,
                                                   double denominator, std::int64_t count, double* out) {
    switch (taps) {
        case 4: return kernelRun<Kind, 4>(v, w, taps, denominator, count, out);
        case 5: return kernelRun<Kind, 5>(v, w, taps, denominator, count, out);
        default: return kernelRun<Kind, 0>(v, w, taps, denominator, count, out);
    }
}

[[gnu::always_inline]] inline void kernelRunOfKind(AnalysisSampleKind kind, const double* v, const double* w,
                                                   std::size_t taps, double denominator, std::int64_t count,
                                                   double* out) {
    switch (kind) {
        case AnalysisSampleKind::Unsigned8:
            return kernelRunOfTaps<AnalysisSampleKind::Unsigned8>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Signed16:
            return kernelRunOfTaps<AnalysisSampleKind::Signed16>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Signed24:
            return kernelRunOfTaps<AnalysisSampleKind::Signed24>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Signed32:
            return kernelRunOfTaps<AnalysisSampleKind::Signed32>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Float32:
            return kernelRunOfTaps<AnalysisSampleKind::Float32>(v, w, taps, denominator, count, out);
        case AnalysisSampleKind::Float64:
            return kernelRunOfTaps<AnalysisSampleKind::Float64>(v, w, taps, denominator, count, out);
    }
}

void kernelRunGeneric(AnalysisSampleKind kind, const double* v, const double* w, std::size_t taps, double denominator,
                      std::int64_t count, double* out) {
    kernelRunOfKind(kind, v, w, taps, denominator, count, out);
}

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_WIDE_TARGET void kernelRunWide(AnalysisSampleKind kind, const double* v, const double* w, std::size_t taps,
                                           double denominator, std::int64_t count, double* out) {
    kernelRunOfKind(kind, v, w, taps, denominator, count, out);
}
#endif

// Reads at origin + m for m = 0 .. count - 1 of a usable kernel.
void runThroughKernel(const StoredChannel& channel, const ReaderKernel& kernel, std::int64_t origin, std::int64_t count,
                      double* out) {
    const double* v = channel.pointer(kernel.firstTap + origin);
#ifdef KESTRAND_F0_WIDE
    if (wide::wideVectorsAvailable()) {
        kernelRunWide(channel.kind, v, kernel.weights.data(), kernel.weights.size(), kernel.denominator, count, out);
        return;
    }
#endif
    kernelRunGeneric(channel.kind, v, kernel.weights.data(), kernel.weights.size(), kernel.denominator, count, out);
}

}  // namespace

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
