#include "dsp/fast_sinc.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace kestrand {

namespace {

// sin(t) and cos(t) for |t| <= pi/4 by their Taylor series (the first
// omitted terms are below 1e-19).
inline void sinCosSmall(double t, double& sine, double& cosine) {
    const double q = t * t;
    sine = t *
           (1.0 + q * (-1.0 / 6 +
                       q * (1.0 / 120 +
                            q * (-1.0 / 5040 + q * (1.0 / 362880 + q * (-1.0 / 39916800 +
                                                                        q * (1.0 / 6227020800.0 +
                                                                             q * (-1.0 / 1307674368000.0 +
                                                                                  q * (1.0 / 355687428096000.0)))))))));
    cosine =
        1.0 +
        q * (-0.5 + q * (1.0 / 24 + q * (-1.0 / 720 +
                                         q * (1.0 / 40320 + q * (-1.0 / 3628800 +
                                                                 q * (1.0 / 479001600.0 +
                                                                      q * (-1.0 / 87178291200.0 +
                                                                           q * (1.0 / 20922789888000.0 +
                                                                                q * (-1.0 / 6402373705728000.0)))))))));
}

// sin(h)/h near h = 0, where dividing a rotated sine by h would lose digits.
inline double sincNearZero(double h) {
    const double q = h * h;
    return 1.0 + q * (-1.0 / 6 + q * (1.0 / 120 + q * (-1.0 / 5040 + q * (1.0 / 362880 + q * (-1.0 / 39916800)))));
}

// One stored frame in sixteen-bit scale, as the engine reads it.
template <SampleType T>
inline double load(const std::uint8_t* p) {
    return readSixteenBit<T>(p, kEngineScales);
}

// The kernel of width 1, cos(pi d / 4) sin(pi d) / (pi d) for |d| <= 2, as
// cubic pieces over 1/512 of a frame (Hermite interpolation of the exact
// values and slopes; the error is below 1e-11 of the kernel's peak).
constexpr int kUnitSteps = 512;
constexpr int kUnitPieces = 4 * kUnitSteps;

struct UnitKernelTable {
    std::array<double, 4 * kUnitPieces> c;  // c0 .. c3 of every piece
    UnitKernelTable() {
        const double pi = std::numbers::pi;
        auto value = [&](double d) {
            const double sinc = d == 0.0 ? 1.0 : std::sin(pi * d) / (pi * d);
            return std::cos(pi * d / 4) * sinc;
        };
        auto slope = [&](double d) {
            double sinc, sincSlope;
            if (std::fabs(d) < 0.01) {
                const double p2 = pi * pi, d2 = d * d;
                sinc = 1.0 - p2 * d2 / 6 + p2 * p2 * d2 * d2 / 120;
                sincSlope = p2 * d * (-1.0 / 3 + p2 * d2 / 30 - p2 * p2 * d2 * d2 / 840);
            } else {
                sinc = std::sin(pi * d) / (pi * d);
                sincSlope = (std::cos(pi * d) - sinc) / d;
            }
            return -(pi / 4) * std::sin(pi * d / 4) * sinc + std::cos(pi * d / 4) * sincSlope;
        };
        const double step = 1.0 / kUnitSteps;
        for (int i = 0; i < kUnitPieces; ++i) {
            const double d0 = -2.0 + i * step, d1 = d0 + step;
            const double y0 = value(d0), y1 = value(d1), m0 = step * slope(d0), m1 = step * slope(d1);
            double* piece = c.data() + 4 * i;
            piece[0] = y0;
            piece[1] = m0;
            piece[2] = 3 * (y1 - y0) - 2 * m0 - m1;
            piece[3] = 2 * (y0 - y1) + m0 + m1;
        }
    }
};

const double* unitKernel() {
    static const UnitKernelTable table;
    return table.c.data();
}

// The width-1 kernel at offset d (|d| <= 2) from the table.
inline double unitWeight(const double* table, double d) {
    const double u = (d + 2.0) * kUnitSteps;
    int i = static_cast<int>(u);
    i = i < 0 ? 0 : (i >= kUnitPieces ? kUnitPieces - 1 : i);
    const double t = u - i;
    const double* p = table + 4 * i;
    return p[0] + t * (p[1] + t * (p[2] + t * p[3]));
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

// Weights of the taps lo .. hi of a read at position a. Returns their sum.
inline double tapWeights(double a, double loD, int count, const SincWidth& w, double* weights) {
    if (w.width == 1.0) {
        const double* table = unitKernel();
        double sum = 0.0;
        for (int k = 0; k < count; ++k) {
            weights[k] = unitWeight(table, loD + k - a);
            sum += weights[k];
        }
        return sum;
    }
    const double x0 = (loD - a) * w.inverse;
    double s, c, s4, c4;
    sinCosPi(x0, s, c);
    sinCosPi(0.25 * x0, s4, c4);
    const double piOverB = std::numbers::pi * w.inverse;
    double sum = 0.0;
    for (int k = 0; k < count; ++k) {
        const double h = (loD + k - a) * piOverB;
        const double sinc = std::fabs(h) < 0.1 ? sincNearZero(h) : s / h;
        const double weight = c4 * sinc;
        weights[k] = weight;
        sum += weight;
        const double ns = s * w.stepCos + c * w.stepSin;
        c = c * w.stepCos - s * w.stepSin;
        s = ns;
        const double ns4 = s4 * w.quarterCos + c4 * w.quarterSin;
        c4 = c4 * w.quarterCos - s4 * w.quarterSin;
        s4 = ns4;
    }
    return sum;
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
    double numerator = 0.0, denominator = 0.0;
    const bool inside = lo >= 0 && lo + count <= f.count;
    const std::uint8_t* p = inside ? f.base + static_cast<std::size_t>(lo) * f.frameBytes : nullptr;
    if (w.width == 1.0) {
        const double* table = unitKernel();
        for (int k = 0; k < count; ++k) {
            const double weight = unitWeight(table, loD + k - a);
            const double value =
                inside ? load<T>(p + static_cast<std::size_t>(k) * f.frameBytes) : frameAt<T>(f, lo + k);
            numerator += weight * value;
            denominator += weight;
        }
        return numerator / denominator;
    }
    const double x0 = (loD - a) * w.inverse;
    double s, c, s4, c4;
    sinCosPi(x0, s, c);
    sinCosPi(0.25 * x0, s4, c4);
    const double piOverB = std::numbers::pi * w.inverse;
    for (int k = 0; k < count; ++k) {
        const double h = (loD + k - a) * piOverB;
        const double sinc = std::fabs(h) < 0.1 ? sincNearZero(h) : s / h;
        const double weight = c4 * sinc;
        const double value = inside ? load<T>(p + static_cast<std::size_t>(k) * f.frameBytes) : frameAt<T>(f, lo + k);
        numerator += weight * value;
        denominator += weight;
        const double ns = s * w.stepCos + c * w.stepSin;
        c = c * w.stepCos - s * w.stepSin;
        s = ns;
        const double ns4 = s4 * w.quarterCos + c4 * w.quarterSin;
        c4 = c4 * w.quarterCos - s4 * w.quarterSin;
        s4 = ns4;
    }
    return numerator / denominator;
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

void sinCosPi(double x, double& sine, double& cosine) {
    if (!(std::fabs(x) < 1e15)) {
        sine = 0.0;
        cosine = 1.0;
        return;
    }
    // Nearest quarter turn by a truncating conversion (cheaper than a
    // rounding call); the rest is within a quarter of pi of it.
    const double twice = 2.0 * x;
    const long long n = static_cast<long long>(twice >= 0.0 ? twice + 0.5 : twice - 0.5);
    const double r = x - 0.5 * static_cast<double>(n);
    double s, c;
    sinCosSmall(std::numbers::pi * r, s, c);
    const long long quadrant = n & 3;
    switch (quadrant) {
        case 0:
            sine = s;
            cosine = c;
            break;
        case 1:
            sine = c;
            cosine = -s;
            break;
        case 2:
            sine = -s;
            cosine = -c;
            break;
        default:
            sine = -c;
            cosine = s;
            break;
    }
}

SincWidth makeSincWidth(double width) {
    SincWidth w;
    w.width = width;
    w.inverse = 1.0 / width;
    sinCosPi(w.inverse, w.stepSin, w.stepCos);
    sinCosPi(0.25 * w.inverse, w.quarterSin, w.quarterCos);
    return w;
}

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
