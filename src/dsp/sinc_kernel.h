// The windowed-sinc kernel of every fractional sample read, and each way its
// weights are evaluated. A read at position a with width b (zero crossings b
// frames apart) takes the taps i within 2 b frames of a, each at the angle
// h = pi (i - a) / b, weighs tap i by cos(h / 4) sin(h) / h (a half-cosine
// window, 0 at h = +-2 pi, times the sinc) and divides the weighted sum by the
// sum of the weights. The weights are evaluated
//   - by the sine series (series, weight, kernelWeights): the literal readers
//     and the pitch analysis, whose values are the reference;
//   - by rotation from the first tap (SincWidth, RotatedWeights): the fast
//     reads of width above 1;
//   - from a table of cubic pieces (unitWeight): the fast reads of width 1;
//   - in closed form for the four taps of a width-1 read (unitTapWeights):
//     the reads over a decoded region.
// The fast forms agree with the series up to rounding.
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>

namespace kestrand {

// ---- The series form -------------------------------------------------------

namespace sinc {

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

// Weight of a tap at angle h: the half-cosine window times the series.
inline double weight(double h) { return std::cos(h / 4.0) * series(h); }

// Rounds a tap count up to the block size that kernelWeights fills.
inline constexpr std::size_t paddedTapCount(std::size_t count) { return (count + 7) & ~std::size_t{7}; }

// Weights of `count` consecutive taps firstTap, firstTap + 1, ... for position a
// and angle step pi / width: out[k] = weight((firstTap + k - a) * step), the
// same value tap for tap as the one-at-a-time formula. `out` must hold
// paddedTapCount(count) values; the entries behind count are scratch.
// firstTap must be an integer of magnitude below 2^52.
void kernelWeights(double firstTap, double a, double step, std::size_t count, double* out);

}  // namespace sinc

// ---- By rotation -----------------------------------------------------------

namespace sinc {

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

}  // namespace sinc

// sin(pi x) and cos(pi x), accurate to about one unit in the last place for
// |x| up to a few thousand.
inline void sinCosPi(double x, double& sine, double& cosine) {
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
    sinc::sinCosSmall(std::numbers::pi * r, s, c);
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

// The rotation constants of one kernel width b >= 1 (zero crossings b frames
// apart, support +-2b frames).
struct SincWidth {
    double width = 1.0;
    double inverse = 1.0;                       // 1 / b
    double stepCos = -1.0, stepSin = 0.0;       // rotation of the sine by pi / b
    double quarterCos = 1.0, quarterSin = 0.0;  // rotation of the window by pi / (4 b)
};
SincWidth makeSincWidth(double width);

namespace sinc {

// sin(h)/h near h = 0, where dividing a rotated sine by h would lose digits.
inline double sincNearZero(double h) {
    const double q = h * h;
    return 1.0 + q * (-1.0 / 6 + q * (1.0 / 120 + q * (-1.0 / 5040 + q * (1.0 / 362880 + q * (-1.0 / 39916800)))));
}

// The weights of the taps lo, lo + 1, ... of a read at a, asked for in tap
// order (k = 0, 1, 2, ...): the sine of the first tap's angle and the
// window's cosine are rotated on by a step of pi / b (and pi / 4b) from tap to
// tap instead of being evaluated again.
class RotatedWeights {
public:
    RotatedWeights(double a, double lo, const SincWidth& width)
        : a_(a),
          lo_(lo),
          piOverB_(std::numbers::pi * width.inverse),
          stepCos_(width.stepCos),
          stepSin_(width.stepSin),
          quarterCos_(width.quarterCos),
          quarterSin_(width.quarterSin) {
        // Through locals, so that no member's address escapes and all of
        // them can stay in registers.
        const double x0 = (lo - a) * width.inverse;
        double s, c, s4, c4;
        sinCosPi(x0, s, c);
        sinCosPi(0.25 * x0, s4, c4);
        s_ = s;
        c_ = c;
        s4_ = s4;
        c4_ = c4;
    }

    // The weight of tap lo + k; k must be one more than at the last call
    // (0 at the first).
    double at(int k) {
        const double h = (lo_ + k - a_) * piOverB_;
        const double sinc = std::fabs(h) < 0.1 ? sincNearZero(h) : s_ / h;
        const double weight = c4_ * sinc;
        const double ns = s_ * stepCos_ + c_ * stepSin_;
        c_ = c_ * stepCos_ - s_ * stepSin_;
        s_ = ns;
        const double ns4 = s4_ * quarterCos_ + c4_ * quarterSin_;
        c4_ = c4_ * quarterCos_ - s4_ * quarterSin_;
        s4_ = ns4;
        return weight;
    }

private:
    double a_, lo_, piOverB_;
    double stepCos_, stepSin_, quarterCos_, quarterSin_;
    double s_ = 0, c_ = 1, s4_ = 0, c4_ = 1;
};

// ---- From a table (width 1) -------------------------------------------------

// The kernel of width 1, cos(pi d / 4) sin(pi d) / (pi d) for |d| <= 2, as
// cubic pieces over 1/512 of a frame (Hermite interpolation of the exact
// values and slopes; the error is below 1e-11 of the kernel's peak).
inline constexpr int kUnitSteps = 512;
inline constexpr int kUnitPieces = 4 * kUnitSteps;

// The coefficients c0 .. c3 of every piece, built on first use.
const double* unitKernelTable();

// The width-1 kernel at offset d (|d| <= 2) from the table.
inline double unitWeight(const double* table, double d) {
    const double u = (d + 2.0) * kUnitSteps;
    int i = static_cast<int>(u);
    i = i < 0 ? 0 : (i >= kUnitPieces ? kUnitPieces - 1 : i);
    const double t = u - i;
    const double* p = table + 4 * i;
    return p[0] + t * (p[1] + t * (p[2] + t * p[3]));
}

// The weights of the taps lo, lo + 1, ... of a width-1 read at a, from the
// table: at(k) is the weight of tap lo + k.
class TableWeights {
public:
    TableWeights(double a, double lo) : a_(a), lo_(lo), table_(unitKernelTable()) {}
    double at(int k) const { return unitWeight(table_, lo_ + k - a_); }

private:
    double a_, lo_;
    const double* table_;
};

// ---- Closed form for the four taps of a width-1 read ------------------------

// The width-1 kernel at the four taps d = -1 - f, -f, 1 - f, 2 - f of a read
// with fraction f (0 <= f < 1), each multiplied by the same positive factor
// pi (product of the four d) / sin(pi f). The factor cancels in the
// normalised sum, and what is left needs no sine of pi f and no division:
// sin(pi d) is +-sin(pi f) at every tap, and 1 / d_k times the product of all
// d is the product of the other three. The window cosines at the four taps are
// rotations of cos(pi f / 4) by quarter turns of pi / 4. At f = 0 only the
// middle weight is left, as it should be (the tap at d = -2 of a whole
// position, and the one at d = 2, weigh 0). T is double or a vector of them.
template <class T>
inline void unitTapWeights(const T& f, T& u0, T& u1, T& u2, T& u3) {
    const T x = f * (std::numbers::pi / 4);
    const T q = x * x;
    // |x| <= pi / 4: the first omitted terms are below 1e-16.
    const T cx =
        1.0 +
        q * (-1.0 / 2 +
             q * (1.0 / 24 + q * (-1.0 / 720 + q * (1.0 / 40320 +
                                                    q * (-1.0 / 3628800 + q * (1.0 / 479001600.0 +
                                                                               q * (-1.0 / 87178291200.0 +
                                                                                    q * (1.0 / 20922789888000.0))))))));
    const T sx =
        x * (1.0 +
             q * (-1.0 / 6 +
                  q * (1.0 / 120 + q * (-1.0 / 5040 + q * (1.0 / 362880 + q * (-1.0 / 39916800 +
                                                                               q * (1.0 / 6227020800.0 +
                                                                                    q * (-1.0 / 1307674368000.0))))))));
    const double root = std::numbers::sqrt2 / 2;
    const T d0 = -1.0 - f, d1 = -f, d2 = 1.0 - f, d3 = 2.0 - f;
    const T p01 = d0 * d1, p23 = d2 * d3;
    u0 = (root * (cx - sx)) * (d1 * p23);
    u1 = -(cx * (d0 * p23));
    u2 = (root * (cx + sx)) * (d3 * p01);
    u3 = -(sx * (d2 * p01));
}

}  // namespace sinc
}  // namespace kestrand
