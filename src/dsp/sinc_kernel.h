// Inline core of the windowed-sinc kernel, shared by the fractional readers so
// that the per-tap work compiles into their loops.
#pragma once

#include <cmath>
#include <cstddef>

namespace kestrand::sinc {

// pi to fifteen significant digits: the angle unit of the kernel and the
// bound above which the series takes its six extra terms.
inline constexpr double kPi = 3.14159265358979;

// Coefficients 1 / ((2k)(2k+1)) for k = 1 .. 19, each the double nearest the fraction.
inline constexpr double kCoefficients[19] = {
    1.0 / 6.0,   1.0 / 20.0,   1.0 / 42.0,   1.0 / 72.0,   1.0 / 110.0,  1.0 / 156.0, 1.0 / 210.0,
    1.0 / 272.0, 1.0 / 342.0,  1.0 / 420.0,  1.0 / 506.0,  1.0 / 600.0,  1.0 / 702.0, 1.0 / 812.0,
    1.0 / 930.0, 1.0 / 1056.0, 1.0 / 1190.0, 1.0 / 1332.0, 1.0 / 1482.0,
};

// Taylor series of sin(h)/h: terms t_k = t_(k-1) * (h*h * c_k), summed with
// alternating signs in order t0 - t1 + ... - t13; beyond |h| > pi the sum goes
// on through -t19 so that it stays accurate out to |h| = 2 pi.
inline double series(double h) {
    const double q = h * h;
    double t = 1.0;
    double s = 1.0;
    t *= q * kCoefficients[0];
    s -= t;
    t *= q * kCoefficients[1];
    s += t;
    t *= q * kCoefficients[2];
    s -= t;
    t *= q * kCoefficients[3];
    s += t;
    t *= q * kCoefficients[4];
    s -= t;
    t *= q * kCoefficients[5];
    s += t;
    t *= q * kCoefficients[6];
    s -= t;
    t *= q * kCoefficients[7];
    s += t;
    t *= q * kCoefficients[8];
    s -= t;
    t *= q * kCoefficients[9];
    s += t;
    t *= q * kCoefficients[10];
    s -= t;
    t *= q * kCoefficients[11];
    s += t;
    t *= q * kCoefficients[12];
    s -= t;
    if (std::fabs(h) > kPi) {
        t *= q * kCoefficients[13];
        s += t;
        t *= q * kCoefficients[14];
        s -= t;
        t *= q * kCoefficients[15];
        s += t;
        t *= q * kCoefficients[16];
        s -= t;
        t *= q * kCoefficients[17];
        s += t;
        t *= q * kCoefficients[18];
        s -= t;
    }
    return s;
}

// Weight of a tap at angle h: half-cosine window (0 at h = +-2 pi) times the series.
inline double weight(double h) { return std::cos(h / 4.0) * series(h); }

// Rounds a tap count up to the block size that kernelWeights fills.
inline constexpr std::size_t paddedTapCount(std::size_t count) { return (count + 7) & ~std::size_t{7}; }

// Weights of `count` consecutive taps firstTap, firstTap + 1, ... for position a
// and angle step pi / width: out[k] = weight((firstTap + k - a) * step), the
// same value tap for tap as the one-at-a-time formula. `out` must hold
// paddedTapCount(count) values; the entries behind count are scratch.
// firstTap must be an integer of magnitude below 2^52.
void kernelWeights(double firstTap, double a, double step, std::size_t count, double* out);

}  // namespace kestrand::sinc
