#include "dsp/sinc_kernel.h"

#include <algorithm>
#include <array>

namespace kestrand {

namespace sinc {

namespace {

constexpr int kLanes = 8;

// series() for eight angles at once, term by term in the same order, so each
// lane gets the same bits as series(h[l]); without branches, the lanes fill
// vector registers. Both the 14-term and the 20-term sums are formed, then
// each lane picks by its |h| > pi.
void seriesLanes(const double* h, double* out) {
    double q[kLanes], t[kLanes], s[kLanes], shortSum[kLanes];
    for (int l = 0; l < kLanes; ++l) {
        q[l] = h[l] * h[l];
        t[l] = 1.0;
        s[l] = 1.0;
    }
    for (int k = 0; k < 12; k += 2) {
        const double odd = kCoefficients[k];
        const double even = kCoefficients[k + 1];
        for (int l = 0; l < kLanes; ++l) {
            t[l] *= q[l] * odd;
            s[l] -= t[l];
            t[l] *= q[l] * even;
            s[l] += t[l];
        }
    }
    for (int l = 0; l < kLanes; ++l) {
        t[l] *= q[l] * kCoefficients[12];
        s[l] -= t[l];
        shortSum[l] = s[l];
    }
    for (int k = 13; k < 19; k += 2) {
        const double even = kCoefficients[k];
        const double odd = kCoefficients[k + 1];
        for (int l = 0; l < kLanes; ++l) {
            t[l] *= q[l] * even;
            s[l] += t[l];
            t[l] *= q[l] * odd;
            s[l] -= t[l];
        }
    }
    for (int l = 0; l < kLanes; ++l) out[l] = std::fabs(h[l]) > kPi ? s[l] : shortSum[l];
}

}  // namespace

void kernelWeights(double firstTap, double a, double step, std::size_t count, double* out) {
    if (count < kLanes) {
        // Too few taps to fill the lanes (width 1 has four or five).
        for (std::size_t k = 0; k < count; ++k) out[k] = weight(((firstTap + static_cast<double>(k)) - a) * step);
        return;
    }
    const std::size_t padded = paddedTapCount(count);
    // Blocks of eight taps: the angles and series of a block are independent,
    // so they fill vector lanes and their multiplication chains overlap; only
    // the cosine is a call per tap.
    double tap = firstTap;
    for (std::size_t j = 0; j < padded; j += kLanes, tap += kLanes) {
        double h[kLanes];
        double s[kLanes];
        for (int l = 0; l < kLanes; ++l) h[l] = ((tap + l) - a) * step;
        seriesLanes(h, s);
        const int live = static_cast<int>(std::min<std::size_t>(kLanes, count - j));
        for (int l = 0; l < live; ++l) out[j + static_cast<std::size_t>(l)] = std::cos(h[l] / 4.0) * s[l];
    }
}

namespace {

// The Hermite pieces of the width-1 kernel (see unitWeight).
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

}  // namespace

const double* unitKernelTable() {
    static const UnitKernelTable table;
    return table.c.data();
}

}  // namespace sinc

SincWidth makeSincWidth(double width) {
    SincWidth w;
    w.width = width;
    w.inverse = 1.0 / width;
    sinCosPi(w.inverse, w.stepSin, w.stepCos);
    sinCosPi(0.25 * w.inverse, w.quarterSin, w.quarterCos);
    return w;
}

}  // namespace kestrand
