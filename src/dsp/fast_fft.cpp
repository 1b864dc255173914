#include "dsp/fast_fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "dsp/vector_lanes.h"

namespace kestrand {

namespace {

using namespace lanes;

// The vector path needs at least 16 complex points (four groups of four).
constexpr int kVectorPoints = 16;

// Radix-2 decimation in time over data already in bit-reversed order, with
// the twiddle sines of the direction (-sin forward, +sin inverse; unscaled).
template <class Lanes>
KESTRAND_VECTOR_BODY void complexTransformBody(const FastFftPlan& plan, double* __restrict re, double* __restrict im,
                                               const double* __restrict sines) {
    const int m = plan.m;
    // First stage: twiddle 1.
    for (int a = 0; a < m; a += 2) {
        const double xr = re[a + 1], xi = im[a + 1];
        re[a + 1] = re[a] - xr;
        im[a + 1] = im[a] - xi;
        re[a] += xr;
        im[a] += xi;
    }
    std::size_t offset = 1;
    for (int h = 2; h < m; h *= 2) {
        const double* wc = plan.stageCos.data() + offset;
        const double* ws = sines + offset;
        for (int g = 0; g < m; g += 2 * h) {
            double* ar = re + g;
            double* ai = im + g;
            double* br = re + g + h;
            double* bi = im + g + h;
            int k = 0;
            // Four butterflies at a time; each lane does what the scalar loop does.
            for (; k + 4 <= h; k += 4) {
                const Lanes c = load<Lanes>(wc + k), sn = load<Lanes>(ws + k);
                const Lanes xr = load<Lanes>(br + k), xi = load<Lanes>(bi + k);
                const Lanes yr = load<Lanes>(ar + k), yi = load<Lanes>(ai + k);
                const Lanes tr = c * xr - sn * xi;
                const Lanes ti = c * xi + sn * xr;
                store(br + k, yr - tr);
                store(bi + k, yi - ti);
                store(ar + k, yr + tr);
                store(ai + k, yi + ti);
            }
            for (; k < h; ++k) {
                const double c = wc[k], sn = ws[k];
                // t = (c + i sn) * b
                const double tr = c * br[k] - sn * bi[k];
                const double ti = c * bi[k] + sn * br[k];
                br[k] = ar[k] - tr;
                bi[k] = ai[k] - ti;
                ar[k] += tr;
                ai[k] += ti;
            }
        }
        offset += static_cast<std::size_t>(h);
    }
}

void complexTransform(const FastFftPlan& plan, double* __restrict re, double* __restrict im,
                      const double* __restrict sines) {
    return KESTRAND_VECTOR_CALL(complexTransformBody, plan, re, im, sines);
}

}  // namespace

namespace {

// i with its lowest `bits` bits in reverse order, for i < count: the
// reversal of i is that of i / 2 moved down a bit, with the lowest bit of i
// on top.
std::vector<int> bitReversals(int count, int bits) {
    std::vector<int> reversed(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 1; i < count; ++i) {
        reversed[static_cast<std::size_t>(i)] =
            (reversed[static_cast<std::size_t>(i / 2)] >> 1) | ((i & 1) << (bits - 1));
    }
    return reversed;
}

}  // namespace

FastFftPlan makeFastFftPlan(int n) {
    FastFftPlan plan;
    plan.n = n;
    plan.m = n / 2;
    const int m = plan.m;
    int bits = 0;
    while ((1 << bits) < m) ++bits;
    plan.bitReverse = bitReversals(m, bits);
    // cos and sin of 2 pi k / n for k = 0 .. m: computed up to an eighth of a
    // turn, the rest by symmetry.
    plan.splitCos.resize(static_cast<std::size_t>(m) + 1);
    plan.splitSin.resize(static_cast<std::size_t>(m) + 1);
    const bool symmetric = m % 4 == 0;
    for (int k = 0; k <= m; ++k) {
        const std::size_t at = static_cast<std::size_t>(k);
        if (symmetric && k > m / 2) {
            plan.splitCos[at] = -plan.splitCos[static_cast<std::size_t>(m - k)];
            plan.splitSin[at] = plan.splitSin[static_cast<std::size_t>(m - k)];
        } else if (symmetric && k > m / 4) {
            plan.splitCos[at] = plan.splitSin[static_cast<std::size_t>(m / 2 - k)];
            plan.splitSin[at] = plan.splitCos[static_cast<std::size_t>(m / 2 - k)];
        } else {
            plan.splitCos[at] = std::cos(2 * std::numbers::pi * k / n);
            plan.splitSin[at] = std::sin(2 * std::numbers::pi * k / n);
        }
    }
    // Stage h turns by pi k / h = 2 pi (k m / h) / n: entries of the same table.
    plan.stageCos.assign(1, 1.0);
    plan.stageSin.assign(1, 0.0);
    plan.stageSinForward.assign(1, 0.0);
    for (int h = 2; h < m; h *= 2) {
        for (int k = 0; k < h; ++k) {
            const std::size_t at = static_cast<std::size_t>(k) * static_cast<std::size_t>(m / h);
            plan.stageCos.push_back(plan.splitCos[at]);
            plan.stageSin.push_back(plan.splitSin[at]);
            plan.stageSinForward.push_back(-plan.splitSin[at]);
        }
    }
    const int quarter = m / 4;
    int quarterBits = 0;
    while ((1 << quarterBits) < quarter) ++quarterBits;
    plan.quarterReverse = bitReversals(quarter, quarterBits);
    return plan;
}

namespace {

// Transforms of fewer than 32 real points: bit reversal, radix-2 stages and
// the split one value at a time.
void smallRealFft(std::span<double> data, const FastFftPlan& plan, FastFftScratch& scratch) {
    const int m = plan.m, n = plan.n;
    double* re = scratch.re.data();
    double* im = scratch.im.data();
    for (int i = 0; i < m; ++i) {
        const int r = plan.bitReverse[static_cast<std::size_t>(i)];
        re[r] = data[static_cast<std::size_t>(2 * i)];
        im[r] = data[static_cast<std::size_t>(2 * i + 1)];
    }
    complexTransform(plan, re, im, plan.stageSinForward.data());
    data[0] = re[0] + im[0];
    data[static_cast<std::size_t>(m)] = re[0] - im[0];
    for (int k = 1; k < m; ++k) {
        // E = (Z[k] + conj Z[m-k]) / 2, O = (Z[k] - conj Z[m-k]) / 2i.
        const double ar = re[k], ai = im[k], br = re[m - k], bi = -im[m - k];
        const double er = 0.5 * (ar + br), ei = 0.5 * (ai + bi);
        const double or_ = 0.5 * (ai - bi), oi = -0.5 * (ar - br);
        // X = E + e^(-2 pi i k / n) O
        const double c = plan.splitCos[static_cast<std::size_t>(k)], s = plan.splitSin[static_cast<std::size_t>(k)];
        const double xr = er + c * or_ + s * oi;
        const double xi = ei + c * oi - s * or_;
        data[static_cast<std::size_t>(k)] = xr;
        data[static_cast<std::size_t>(n - k)] = -xi;
    }
}

void smallInverseRealFft(std::span<double> data, const FastFftPlan& plan, FastFftScratch& scratch) {
    const int m = plan.m, n = plan.n;
    double* re = scratch.re.data();
    double* im = scratch.im.data();
    auto spectrum = [&](int k, double& xr, double& xi) {
        xr = data[static_cast<std::size_t>(k)];
        xi = k == 0 || k == m ? 0.0 : -data[static_cast<std::size_t>(n - k)];
    };
    for (int k = 0; k < m; ++k) {
        double ar, ai, br, bi;
        spectrum(k, ar, ai);
        spectrum(m - k, br, bi);
        bi = -bi;  // conj X[m - k]
        const double er = 0.5 * (ar + br), ei = 0.5 * (ai + bi);
        // O = (X[k] - conj X[m-k]) / 2 * e^(+2 pi i k / n)
        const double dr = 0.5 * (ar - br), di = 0.5 * (ai - bi);
        const double c = plan.splitCos[static_cast<std::size_t>(k)], s = plan.splitSin[static_cast<std::size_t>(k)];
        const double or_ = dr * c - di * s, oi = dr * s + di * c;
        // Z = E + i O, stored in bit-reversed order.
        const int r = plan.bitReverse[static_cast<std::size_t>(k)];
        re[r] = er - oi;
        im[r] = ei + or_;
    }
    complexTransform(plan, re, im, plan.stageSin.data());
    for (int i = 0; i < m; ++i) {
        data[static_cast<std::size_t>(2 * i)] = re[i];
        data[static_cast<std::size_t>(2 * i + 1)] = im[i];
    }
}

// Bins k and m - k of the forward split, four k at a time (k = 1 .. m / 2):
// with E = (Z_k + conj Z_(m-k)) / 2 and D = (Z_k - conj Z_(m-k)) / 2,
// X_k = E - i e^(-2 pi i k / n) D and X_(m-k) = conj E + i e^(2 pi i k / n) conj D.
template <class Lanes, bool WithPower>
[[gnu::always_inline]] inline void forwardSplitLoop(const FastFftPlan& plan, const double* __restrict re,
                                                    const double* __restrict im, double* __restrict data,
                                                    double* __restrict power) {
    const int m = plan.m, n = plan.n;
    const double* c = plan.splitCos.data();
    const double* s = plan.splitSin.data();
    for (int k = 1; k + 3 <= m / 2; k += 4) {
        const Lanes ar = load<Lanes>(re + k), ai = load<Lanes>(im + k);
        const Lanes br = reversed(load<Lanes>(re + m - k - 3)), bi = reversed(load<Lanes>(im + m - k - 3));
        const Lanes ck = load<Lanes>(c + k), sk = load<Lanes>(s + k);
        const Lanes er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
        const Lanes dr = 0.5 * (ar - br), di = 0.5 * (ai + bi);
        const Lanes p = ck * di - sk * dr;
        const Lanes q = ck * dr + sk * di;
        // Places k and n - k (bins k), m - k and m + k (bins m - k).
        const Lanes xk = er + p, yk = q - ei, xm = er - p, ym = ei + q;
        store(data + k, xk);
        store(data + n - k - 3, reversed(yk));
        store(data + m - k - 3, reversed(xm));
        store(data + m + k, ym);
        if constexpr (WithPower) {
            store(power + k, xk * xk + yk * yk);
            store(power + m - k - 3, reversed(xm * xm + ym * ym));
        }
    }
}

// Bins k and m - k of the forward split, four k at a time (k = 1 .. m / 2):
// with E = (Z_k + conj Z_(m-k)) / 2 and D = (Z_k - conj Z_(m-k)) / 2,
// X_k = E - i e^(-2 pi i k / n) D and X_(m-k) = conj E + i e^(2 pi i k / n) conj D.
// With `power`, also the power of bins 0 .. m.
template <class Lanes>
KESTRAND_VECTOR_BODY void forwardSplitBody(const FastFftPlan& plan, const double* __restrict re,
                                           const double* __restrict im, double* __restrict data,
                                           double* __restrict power) {
    const int m = plan.m;
    data[0] = re[0] + im[0];
    data[m] = re[0] - im[0];
    if (power) {
        power[0] = data[0] * data[0];
        power[m] = data[m] * data[m];
        forwardSplitLoop<Lanes, true>(plan, re, im, data, power);
    } else {
        forwardSplitLoop<Lanes, false>(plan, re, im, data, power);
    }
}

void forwardSplit(const FastFftPlan& plan, const double* __restrict re, const double* __restrict im,
                  double* __restrict data, double* __restrict power) {
    return KESTRAND_VECTOR_CALL(forwardSplitBody, plan, re, im, data, power);
}

// The inverse split for k = 0 .. m / 2 and m - k, into natural order: with
// E = (X_k + conj X_(m-k)) / 2 and O = (X_k - conj X_(m-k)) / 2 e^(2 pi i k / n),
// Z_k = E + i O and Z_(m-k) = conj E + i conj O.
template <class Lanes>
KESTRAND_VECTOR_BODY void inverseSplitBody(const FastFftPlan& plan, const double* __restrict data,
                                           double* __restrict re, double* __restrict im) {
    const int m = plan.m, n = plan.n;
    re[0] = 0.5 * (data[0] + data[m]);
    im[0] = 0.5 * (data[0] - data[m]);
    const double* c = plan.splitCos.data();
    const double* s = plan.splitSin.data();
    for (int k = 1; k + 3 <= m / 2; k += 4) {
        const Lanes ar = load<Lanes>(data + k), ai = -reversed(load<Lanes>(data + n - k - 3));
        const Lanes cr = reversed(load<Lanes>(data + m - k - 3)), ci = -load<Lanes>(data + m + k);
        const Lanes ck = load<Lanes>(c + k), sk = load<Lanes>(s + k);
        const Lanes er = 0.5 * (ar + cr), ei = 0.5 * (ai - ci);
        const Lanes dr = 0.5 * (ar - cr), di = 0.5 * (ai + ci);
        const Lanes orr = dr * ck - di * sk, oi = dr * sk + di * ck;
        store(re + k, er - oi);
        store(im + k, ei + orr);
        store(re + m - k - 3, reversed(er + oi));
        store(im + m - k - 3, reversed(orr - ei));
    }
}

void inverseSplit(const FastFftPlan& plan, const double* __restrict data, double* __restrict re,
                  double* __restrict im) {
    return KESTRAND_VECTOR_CALL(inverseSplitBody, plan, data, re, im);
}

// The bit reversal and the first two radix-2 stages in one pass: group q of
// four outputs (places 4q .. 4q + 3) takes the inputs p, p + m/2, p + m/4 and
// p + 3m/4 with p the reversal of q, so four groups in reversed order read
// four neighbouring inputs. `loadPoints(p, re, im)` gives points p .. p + 3.
template <class Lanes, bool Forward, class LoadPoints>
[[gnu::always_inline]] inline void firstStages(const FastFftPlan& plan, double* __restrict re, double* __restrict im,
                                               LoadPoints loadPoints) {
    const int m = plan.m, quarter = m / 4;
    const int* __restrict reverse = plan.quarterReverse.data();
    for (int p = 0; p < quarter; p += 4) {
        Lanes r0, i0, r1, i1, r2, i2, r3, i3;
        loadPoints(p, r0, i0);
        loadPoints(p + 2 * quarter, r1, i1);
        loadPoints(p + quarter, r2, i2);
        loadPoints(p + 3 * quarter, r3, i3);
        const Lanes a0r = r0 + r1, a0i = i0 + i1, a1r = r0 - r1, a1i = i0 - i1;
        const Lanes a2r = r2 + r3, a2i = i2 + i3, a3r = r2 - r3, a3i = i2 - i3;
        // The second stage turns a3 by -i going forward and by +i back.
        const Lanes br = Forward ? a3i : -a3i, bi = Forward ? -a3r : a3r;
        Lanes yr[4] = {a0r + a2r, a1r + br, a0r - a2r, a1r - br};
        Lanes yi[4] = {a0i + a2i, a1i + bi, a0i - a2i, a1i - bi};
        transpose(yr);
        transpose(yi);
        // Written out, so the rows stay in registers.
        const int* q = reverse + p;
        store(re + 4 * q[0], yr[0]);
        store(im + 4 * q[0], yi[0]);
        store(re + 4 * q[1], yr[1]);
        store(im + 4 * q[1], yi[1]);
        store(re + 4 * q[2], yr[2]);
        store(im + 4 * q[2], yi[2]);
        store(re + 4 * q[3], yr[3]);
        store(im + 4 * q[3], yi[3]);
    }
}

// Stages h and 2h in one pass, four butterflies of each at a time (h >= 4).
template <class Lanes>
[[gnu::always_inline]] inline void twoStages(const FastFftPlan& plan, double* __restrict re, double* __restrict im,
                                             const double* sines, int h) {
    const int m = plan.m;
    const double* c1 = plan.stageCos.data() + (h - 1);
    const double* s1 = sines + (h - 1);
    const double* c2 = plan.stageCos.data() + (2 * h - 1);
    const double* s2 = sines + (2 * h - 1);
    for (int g = 0; g < m; g += 4 * h) {
        double* r = re + g;
        double* i = im + g;
        for (int k = 0; k < h; k += 4) {
            const Lanes x0r = load<Lanes>(r + k), x0i = load<Lanes>(i + k);
            const Lanes x1r = load<Lanes>(r + k + h), x1i = load<Lanes>(i + k + h);
            const Lanes x2r = load<Lanes>(r + k + 2 * h), x2i = load<Lanes>(i + k + 2 * h);
            const Lanes x3r = load<Lanes>(r + k + 3 * h), x3i = load<Lanes>(i + k + 3 * h);
            const Lanes w1c = load<Lanes>(c1 + k), w1s = load<Lanes>(s1 + k);
            const Lanes t1r = w1c * x1r - w1s * x1i, t1i = w1c * x1i + w1s * x1r;
            const Lanes t3r = w1c * x3r - w1s * x3i, t3i = w1c * x3i + w1s * x3r;
            const Lanes a0r = x0r + t1r, a0i = x0i + t1i, a1r = x0r - t1r, a1i = x0i - t1i;
            const Lanes a2r = x2r + t3r, a2i = x2i + t3i, a3r = x2r - t3r, a3i = x2i - t3i;
            const Lanes w2c = load<Lanes>(c2 + k), w2s = load<Lanes>(s2 + k);
            const Lanes w3c = load<Lanes>(c2 + k + h), w3s = load<Lanes>(s2 + k + h);
            const Lanes ur = w2c * a2r - w2s * a2i, ui = w2c * a2i + w2s * a2r;
            const Lanes vr = w3c * a3r - w3s * a3i, vi = w3c * a3i + w3s * a3r;
            store(r + k, a0r + ur);
            store(i + k, a0i + ui);
            store(r + k + 2 * h, a0r - ur);
            store(i + k + 2 * h, a0i - ui);
            store(r + k + h, a1r + vr);
            store(i + k + h, a1i + vi);
            store(r + k + 3 * h, a1r - vr);
            store(i + k + 3 * h, a1i - vi);
        }
    }
}

// A last single stage h (h >= 4).
template <class Lanes>
[[gnu::always_inline]] inline void oneStage(const FastFftPlan& plan, double* __restrict re, double* __restrict im,
                                            const double* sines, int h) {
    const double* c = plan.stageCos.data() + (h - 1);
    const double* sn = sines + (h - 1);
    for (int g = 0; g < plan.m; g += 2 * h) {
        for (int k = 0; k < h; k += 4) {
            double* ar = re + g + k;
            double* ai = im + g + k;
            const Lanes xr = load<Lanes>(ar + h), xi = load<Lanes>(ai + h), yr = load<Lanes>(ar), yi = load<Lanes>(ai);
            const Lanes wc = load<Lanes>(c + k), ws = load<Lanes>(sn + k);
            const Lanes tr = wc * xr - ws * xi, ti = wc * xi + ws * xr;
            store(ar + h, yr - tr);
            store(ai + h, yi - ti);
            store(ar, yr + tr);
            store(ai, yi + ti);
        }
    }
}

// Everything after the first two stages.
template <class Lanes>
[[gnu::always_inline]] inline void laterStages(const FastFftPlan& plan, double* re, double* im, const double* sines) {
    int h = 4;
    for (; 4 * h <= plan.m; h *= 4) twoStages<Lanes>(plan, re, im, sines, h);
    if (h < plan.m) oneStage<Lanes>(plan, re, im, sines, h);
}

// The complex transform of the n / 2 points (input[2k], input[2k + 1]),
// each input value first multiplied by window[2k] or window[2k + 1] when
// there is a window.
template <class Lanes>
KESTRAND_VECTOR_BODY void forwardComplexBody(const FastFftPlan& plan, const double* __restrict input,
                                             const double* __restrict window, double* __restrict re,
                                             double* __restrict im) {
    if (window) {
        firstStages<Lanes, true>(plan, re, im, [input, window](int p, Lanes& r, Lanes& i) {
            const Lanes lo = load<Lanes>(window + 2 * p) * load<Lanes>(input + 2 * p);
            const Lanes hi = load<Lanes>(window + 2 * p + 4) * load<Lanes>(input + 2 * p + 4);
            r = evens(lo, hi);
            i = odds(lo, hi);
        });
    } else {
        firstStages<Lanes, true>(plan, re, im, [input](int p, Lanes& r, Lanes& i) {
            const Lanes lo = load<Lanes>(input + 2 * p), hi = load<Lanes>(input + 2 * p + 4);
            r = evens(lo, hi);
            i = odds(lo, hi);
        });
    }
    laterStages<Lanes>(plan, re, im, plan.stageSinForward.data());
}

void forwardComplex(const FastFftPlan& plan, const double* __restrict input, const double* __restrict window,
                    double* __restrict re, double* __restrict im) {
    return KESTRAND_VECTOR_CALL(forwardComplexBody, plan, input, window, re, im);
}

template <class Lanes>
KESTRAND_VECTOR_BODY void inverseComplexBody(const FastFftPlan& plan, const double* __restrict naturalRe,
                                             const double* __restrict naturalIm, double* __restrict re,
                                             double* __restrict im, double* __restrict data,
                                             const double* __restrict window, double amplitude) {
    firstStages<Lanes, false>(plan, re, im, [naturalRe, naturalIm](int p, Lanes& r, Lanes& i) {
        r = load<Lanes>(naturalRe + p);
        i = load<Lanes>(naturalIm + p);
    });
    laterStages<Lanes>(plan, re, im, plan.stageSin.data());
    if (window) {
        for (int k = 0; k < plan.m; k += 4) {
            const Lanes r = load<Lanes>(re + k), i = load<Lanes>(im + k);
            store(data + 2 * k, interleaveLow(r, i) * (load<Lanes>(window + 2 * k) * amplitude));
            store(data + 2 * k + 4, interleaveHigh(r, i) * (load<Lanes>(window + 2 * k + 4) * amplitude));
        }
        return;
    }
    for (int k = 0; k < plan.m; k += 4) {
        const Lanes r = load<Lanes>(re + k), i = load<Lanes>(im + k);
        store(data + 2 * k, interleaveLow(r, i));
        store(data + 2 * k + 4, interleaveHigh(r, i));
    }
}

void inverseComplex(const FastFftPlan& plan, const double* __restrict naturalRe, const double* __restrict naturalIm,
                    double* __restrict re, double* __restrict im, double* __restrict data,
                    const double* __restrict window, double amplitude) {
    return KESTRAND_VECTOR_CALL(inverseComplexBody, plan, naturalRe, naturalIm, re, im, data, window, amplitude);
}

}  // namespace

void fastRealFft(const double* input, const double* window, std::span<double> out, const FastFftPlan& plan,
                 FastFftScratch& scratch, double* power) {
    if (plan.m < kVectorPoints) {
        for (int i = 0; i < plan.n; ++i) out[static_cast<std::size_t>(i)] = window ? window[i] * input[i] : input[i];
        smallRealFft(out, plan, scratch);
        if (power) {
            const int n = plan.n;
            for (int k = 0; k <= n / 2; ++k) {
                const double a = out[static_cast<std::size_t>(k)];
                const double b = k == 0 || k == n / 2 ? 0.0 : out[static_cast<std::size_t>(n - k)];
                power[k] = a * a + b * b;
            }
        }
        return;
    }
    forwardComplex(plan, input, window, scratch.re.data(), scratch.im.data());
    forwardSplit(plan, scratch.re.data(), scratch.im.data(), out.data(), power);
}

void fastRealFft(std::span<double> data, const FastFftPlan& plan, FastFftScratch& scratch) {
    fastRealFft(data.data(), nullptr, data, plan, scratch, nullptr);
}

void fastInverseRealFft(std::span<double> data, const FastFftPlan& plan, FastFftScratch& scratch, const double* window,
                        double amplitude) {
    if (plan.m < kVectorPoints) {
        smallInverseRealFft(data, plan, scratch);
        if (window) {
            for (int i = 0; i < plan.n; ++i) data[static_cast<std::size_t>(i)] *= window[i] * amplitude;
        }
        return;
    }
    inverseSplit(plan, data.data(), scratch.naturalRe.data(), scratch.naturalIm.data());
    inverseComplex(plan, scratch.naturalRe.data(), scratch.naturalIm.data(), scratch.re.data(), scratch.im.data(),
                   data.data(), window, amplitude);
}

}  // namespace kestrand
