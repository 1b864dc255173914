#include "synth/fast_fft.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace kestrand {

namespace {

typedef double Lanes __attribute__((vector_size(32)));

// Radix-2 decimation in time over data already in bit-reversed order, with
// the twiddle sines of the direction (-sin forward, +sin inverse; unscaled).
#if defined(__x86_64__) && defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
void complexTransform(const FastFftPlan& plan, double* __restrict re, double* __restrict im,
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
                Lanes c, sn, xr, xi, yr, yi;
                std::memcpy(&c, wc + k, sizeof c);
                std::memcpy(&sn, ws + k, sizeof sn);
                std::memcpy(&xr, br + k, sizeof xr);
                std::memcpy(&xi, bi + k, sizeof xi);
                std::memcpy(&yr, ar + k, sizeof yr);
                std::memcpy(&yi, ai + k, sizeof yi);
                const Lanes tr = c * xr - sn * xi;
                const Lanes ti = c * xi + sn * xr;
                const Lanes nbr = yr - tr, nbi = yi - ti, nar = yr + tr, nai = yi + ti;
                std::memcpy(br + k, &nbr, sizeof nbr);
                std::memcpy(bi + k, &nbi, sizeof nbi);
                std::memcpy(ar + k, &nar, sizeof nar);
                std::memcpy(ai + k, &nai, sizeof nai);
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

}  // namespace

FastFftPlan makeFastFftPlan(int n) {
    FastFftPlan plan;
    plan.n = n;
    plan.m = n / 2;
    const int m = plan.m;
    int bits = 0;
    while ((1 << bits) < m) ++bits;
    plan.bitReverse.resize(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
        plan.bitReverse[static_cast<std::size_t>(i)] = r;
    }
    plan.stageCos.assign(1, 1.0);
    plan.stageSin.assign(1, 0.0);
    plan.stageSinForward.assign(1, 0.0);
    for (int h = 2; h < m; h *= 2) {
        for (int k = 0; k < h; ++k) {
            plan.stageCos.push_back(std::cos(std::numbers::pi * k / h));
            plan.stageSin.push_back(std::sin(std::numbers::pi * k / h));
            plan.stageSinForward.push_back(-plan.stageSin.back());
        }
    }
    for (int k = 0; k <= m; ++k) {
        plan.splitCos.push_back(std::cos(2 * std::numbers::pi * k / n));
        plan.splitSin.push_back(std::sin(2 * std::numbers::pi * k / n));
    }
    return plan;
}

void fastRealFft(std::span<double> data, const FastFftPlan& plan, FastFftScratch& scratch) {
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

void fastInverseRealFft(std::span<double> data, const FastFftPlan& plan, FastFftScratch& scratch) {
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

}  // namespace kestrand
