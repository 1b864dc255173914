#include "dsp/frame_kernels.h"

#include <cmath>
#include <limits>

#include "dsp/vector_lanes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrand {

using namespace lanes;

namespace {

// Square roots of four non-negative values.
[[gnu::always_inline]] inline Lanes squareRoots(const Lanes& x) {
#if defined(__SSE2__)
    __m128d low, high;
    std::memcpy(&low, &x, sizeof low);
    std::memcpy(&high, reinterpret_cast<const char*>(&x) + sizeof low, sizeof high);
    low = _mm_sqrt_pd(low);
    high = _mm_sqrt_pd(high);
    Lanes r;
    std::memcpy(&r, &low, sizeof low);
    std::memcpy(reinterpret_cast<char*>(&r) + sizeof low, &high, sizeof high);
    return r;
#else
    return Lanes{std::sqrt(x[0]), std::sqrt(x[1]), std::sqrt(x[2]), std::sqrt(x[3])};
#endif
}

}  // namespace

KESTRAND_VECTOR_BODY void multiplyElementsBody(const double* a, const double* b, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load(a + i) * load(b + i));
    for (; i < n; ++i) out[i] = a[i] * b[i];
}

void multiplyElements(const double* a, const double* b, double* out, int n) {
    return KESTRAND_VECTOR_CALL(multiplyElementsBody, a, b, out, n);
}

KESTRAND_VECTOR_BODY void windowedDifferenceBody(const double* w, const double* a, const double* b, double* out,
                                                 int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load(w + i) * (load(a + i) - load(b + i)));
    for (; i < n; ++i) out[i] = w[i] * (a[i] - b[i]);
}

void windowedDifference(const double* w, const double* a, const double* b, double* out, int n) {
    return KESTRAND_VECTOR_CALL(windowedDifferenceBody, w, a, b, out, n);
}

KESTRAND_VECTOR_BODY void packedPowerBody(const double* data, int n, double* power) {
    const int half = n / 2;
    power[0] = data[0] * data[0];
    int k = 1;
    for (; k + 4 <= half; k += 4) {
        const Lanes re = load(data + k), im = reversed(load(data + n - k - 3));
        store(power + k, re * re + im * im);
    }
    for (; k < half; ++k) power[k] = data[k] * data[k] + data[n - k] * data[n - k];
    power[half] = data[half] * data[half];
}

void packedPower(const double* data, int n, double* power) {
    return KESTRAND_VECTOR_CALL(packedPowerBody, data, n, power);
}

KESTRAND_VECTOR_BODY void scaleBinsBody(double* data, int n, const double* gain) {
    const int half = n / 2;
    data[0] *= gain[0];
    int k = 1;
    for (; k + 4 <= half; k += 4) {
        const Lanes g = load(gain + k);
        store(data + k, load(data + k) * g);
        store(data + n - k - 3, load(data + n - k - 3) * reversed(g));
    }
    for (; k < half; ++k) {
        data[k] *= gain[k];
        data[n - k] *= gain[k];
    }
    data[half] *= gain[half];
}

void scaleBins(double* data, int n, const double* gain) { return KESTRAND_VECTOR_CALL(scaleBinsBody, data, n, gain); }

KESTRAND_VECTOR_BODY void mixElementsBody(double gx, const double* x, double gy, const double* y, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, gx * load(x + i) + gy * load(y + i));
    for (; i < n; ++i) out[i] = gx * x[i] + gy * y[i];
}

void mixElements(double gx, const double* x, double gy, const double* y, double* out, int n) {
    return KESTRAND_VECTOR_CALL(mixElementsBody, gx, x, gy, y, out, n);
}

KESTRAND_VECTOR_BODY void binGainsBody(const double* numerator, const double* smooth, double factor,
                                       const double* after, double* gains, int count) {
    const Lanes one = {1, 1, 1, 1};
    const Lanes zero = {0, 0, 0, 0};
    const double limit = std::numeric_limits<double>::max();
    int j = 0;
    for (; j + 4 <= count; j += 4) {
        const Lanes t = load(smooth + j);
        const Lanes q = (load(numerator + j) / t) * factor;
        // Roots of what can give a usable gain only (NaN compares false).
        const Index usable = (t > 0.0) & (q >= 0.0) & (q <= limit);
        const Lanes root = squareRoots(usable ? q : one);
        Lanes gain = after ? root * load(after + j) : root;
        const Index finite = (gain - gain) == zero;
        store(gains + j, usable & finite ? gain : one);
    }
    for (; j < count; ++j) {
        double gain = 1.0;
        if (smooth[j] > 0.0) {
            double root = std::sqrt((numerator[j] / smooth[j]) * factor);
            if (after) root *= after[j];
            if (std::isfinite(root)) gain = root;
        }
        gains[j] = gain;
    }
}

void binGains(const double* numerator, const double* smooth, double factor, const double* after, double* gains,
              int count) {
    return KESTRAND_VECTOR_CALL(binGainsBody, numerator, smooth, factor, after, gains, count);
}

KESTRAND_VECTOR_BODY void addElementsBody(const double* x, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load(out + i) + load(x + i));
    for (; i < n; ++i) out[i] += x[i];
}

void addElements(const double* x, double* out, int n) { return KESTRAND_VECTOR_CALL(addElementsBody, x, out, n); }

KESTRAND_VECTOR_BODY void scaleByWindowBody(double* out, const double* w, double a, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load(out + i) * (load(w + i) * a));
    for (; i < n; ++i) out[i] *= w[i] * a;
}

void scaleByWindow(double* out, const double* w, double a, int n) {
    return KESTRAND_VECTOR_CALL(scaleByWindowBody, out, w, a, n);
}

}  // namespace kestrand
