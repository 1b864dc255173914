#include "dsp/sinc_kernel.h"
#include "dsp/fractional_readers.h"

#include <algorithm>

namespace kestrand {

double sincSeries(double h) { return sinc::series(h); }

double envelopeKernel(double x) {
    const double q = x * x;
    const double d = q - 2.25;
    return (q - 4.0) * (q - 1.0) * d * d / 20.25;
}

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

}  // namespace sinc
}  // namespace kestrand
