#include "dsp/sinc_fast.h"

#include <array>
#include <cmath>
#include <cstddef>

#include "dsp/sinc_kernel.h"

namespace kestrand {

namespace {

// One stored frame in sixteen-bit scale, as the engine reads it.
template <SampleType T>
inline double load(const std::uint8_t* p) {
    return readSixteenBit<T>(p, kEngineScales);
}

// Addressing of the first channel's frames.
struct Frames {
    const std::uint8_t* base;
    std::size_t frameBytes;
    std::int64_t count;
    double pad;
};

template <SampleType T>
inline double frameAt(const Frames& f, std::int64_t k) {
    return k >= 0 && k < f.count ? load<T>(f.base + static_cast<std::size_t>(k) * f.frameBytes) : f.pad;
}

// floor and ceil for |x| < 2^62 by a truncating conversion, without a
// library call.
inline double floorSmall(double x) {
    const double t = static_cast<double>(static_cast<long long>(x));
    return t > x ? t - 1.0 : t;
}
inline double ceilSmall(double x) {
    const double t = static_cast<double>(static_cast<long long>(x));
    return t < x ? t + 1.0 : t;
}

// Positions beyond this are far outside any sample and read the stored zero.
constexpr double kPositionLimit = 1e15;

// The most taps whose weights a shared-fraction run keeps (width up to 255).
constexpr int kMaxSharedTaps = 1024;

// Weights of the taps lo .. hi of a read at position a, from the table for
// width 1 and by rotation otherwise. Returns their sum.
inline double tapWeights(double a, double loD, int count, const SincWidth& w, double* weights) {
    auto fill = [&](auto generator) {
        double sum = 0.0;
        for (int k = 0; k < count; ++k) {
            weights[k] = generator.at(k);
            sum += weights[k];
        }
        return sum;
    };
    return w.width == 1.0 ? fill(sinc::TableWeights(a, loD)) : fill(sinc::RotatedWeights(a, loD, w));
}

template <SampleType T>
double readTyped(const Frames& f, double a, const SincWidth& w) {
    const double b = w.width;
    // A position that is not a number or lies far away reads the stored zero.
    if (!(std::fabs(a) < kPositionLimit)) return f.pad;
    const double loD = ceilSmall(a - 2.0 * b);
    const double hiD = floorSmall(a + 2.0 * b);
    // So does a support wholly outside the stored frames.
    if (hiD < 0.0 || loD > static_cast<double>(f.count - 1)) return f.pad;
    const std::int64_t lo = static_cast<std::int64_t>(loD);
    const int count = static_cast<int>(hiD - loD) + 1;
    const bool inside = lo >= 0 && lo + count <= f.count;
    const std::uint8_t* p = inside ? f.base + static_cast<std::size_t>(lo) * f.frameBytes : nullptr;
    // One loop for a support inside the stored frames, one for a support
    // that reaches past an end (where the taps outside read the pad value).
    auto sum = [&](auto generator) {
        double numerator = 0.0, denominator = 0.0;
        if (inside) {
            for (int k = 0; k < count; ++k) {
                const double weight = generator.at(k);
                numerator += weight * load<T>(p + static_cast<std::size_t>(k) * f.frameBytes);
                denominator += weight;
            }
        } else {
            for (int k = 0; k < count; ++k) {
                const double weight = generator.at(k);
                numerator += weight * frameAt<T>(f, lo + k);
                denominator += weight;
            }
        }
        return numerator / denominator;
    };
    return w.width == 1.0 ? sum(sinc::TableWeights(a, loD)) : sum(sinc::RotatedWeights(a, loD, w));
}

template <SampleType T>
void readRunTyped(const Frames& f, double start, double step, const SincWidth& w, std::span<double> out) {
    const double b = w.width;
    const bool shared = std::fabs(step) <= 1048576.0 && step == floorSmall(step) && std::fabs(start) < kPositionLimit &&
                        4.0 * b + 1.0 < kMaxSharedTaps;
    if (!shared) {
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = readTyped<T>(f, start + static_cast<double>(i) * step, w);
        return;
    }
    // Every read has the fraction of `start`: one set of weights, moved along
    // by whole frames.
    const double loD = ceilSmall(start - 2.0 * b);
    const double hiD = floorSmall(start + 2.0 * b);
    const int count = static_cast<int>(hiD - loD) + 1;
    std::array<double, kMaxSharedTaps> weights;
    const double sum = tapWeights(start, loD, count, w, weights.data());
    const std::int64_t lo0 = static_cast<std::int64_t>(loD);
    const std::int64_t stride = static_cast<std::int64_t>(step);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::int64_t lo = lo0 + static_cast<std::int64_t>(i) * stride;
        double numerator = 0.0;
        if (lo >= 0 && lo + count <= f.count) {
            const std::uint8_t* p = f.base + static_cast<std::size_t>(lo) * f.frameBytes;
            for (int k = 0; k < count; ++k)
                numerator += weights[k] * load<T>(p + static_cast<std::size_t>(k) * f.frameBytes);
        } else if (lo + count <= 0 || lo >= f.count) {
            out[i] = f.pad;
            continue;
        } else {
            for (int k = 0; k < count; ++k) numerator += weights[k] * frameAt<T>(f, lo + k);
        }
        out[i] = numerator / sum;
    }
}

Frames framesOf(const SampleView& view) {
    return Frames{view.bytes.data(),
                  static_cast<std::size_t>(sampleTypeBytes(view.type)) * static_cast<std::size_t>(view.stride),
                  view.frames, sampleTypePadValue(view.type)};
}

}  // namespace

double readFast(const SampleView& view, double position, const SincWidth& width) {
    const Frames f = framesOf(view);
    switch (view.type) {
        case SampleType::U8: return readTyped<SampleType::U8>(f, position, width);
        case SampleType::S16: return readTyped<SampleType::S16>(f, position, width);
        case SampleType::S24: return readTyped<SampleType::S24>(f, position, width);
        case SampleType::S32: return readTyped<SampleType::S32>(f, position, width);
        case SampleType::F32: return readTyped<SampleType::F32>(f, position, width);
        case SampleType::F64: return readTyped<SampleType::F64>(f, position, width);
        case SampleType::None: break;
    }
    return 0.0;
}

void readFastRun(const SampleView& view, double start, double step, const SincWidth& width, std::span<double> out) {
    const Frames f = framesOf(view);
    switch (view.type) {
        case SampleType::U8: return readRunTyped<SampleType::U8>(f, start, step, width, out);
        case SampleType::S16: return readRunTyped<SampleType::S16>(f, start, step, width, out);
        case SampleType::S24: return readRunTyped<SampleType::S24>(f, start, step, width, out);
        case SampleType::S32: return readRunTyped<SampleType::S32>(f, start, step, width, out);
        case SampleType::F32: return readRunTyped<SampleType::F32>(f, start, step, width, out);
        case SampleType::F64: return readRunTyped<SampleType::F64>(f, start, step, width, out);
        case SampleType::None: break;
    }
    for (double& v : out) v = 0.0;
}

}  // namespace kestrand
