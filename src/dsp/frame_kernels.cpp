#include "dsp/frame_kernels.h"

#include <cmath>
#include <limits>

#include "dsp/vector_lanes.h"

namespace kestrand {

using namespace lanes;

namespace {

// Square roots of two or four non-negative values.
[[gnu::always_inline]] inline Half squareRoots(const Half& x) {
#if defined(__SSE2__)
    return __builtin_ia32_sqrtpd(x);
#else
    return Half{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}

[[gnu::always_inline]] inline Pair squareRoots(const Pair& x) { return Pair{squareRoots(x.lo), squareRoots(x.hi)}; }

#ifdef KESTRAND_WIDE_VECTORS
// For the wide copy, which inlines it: always_inline would ask for AVX in the
// body before the body is inlined there.
inline __attribute__((target("avx"))) Wide squareRoots(const Wide& x) { return __builtin_ia32_sqrtpd256(x); }
#endif

}  // namespace

template <class Lanes>
KESTRAND_VECTOR_BODY void multiplyElementsBody(const double* a, const double* b, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load<Lanes>(a + i) * load<Lanes>(b + i));
    for (; i < n; ++i) out[i] = a[i] * b[i];
}

void multiplyElements(const double* a, const double* b, double* out, int n) {
    return KESTRAND_VECTOR_CALL(multiplyElementsBody, a, b, out, n);
}

template <class Lanes>
KESTRAND_VECTOR_BODY void windowedDifferenceBody(const double* w, const double* a, const double* b, double* out,
                                                 int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load<Lanes>(w + i) * (load<Lanes>(a + i) - load<Lanes>(b + i)));
    for (; i < n; ++i) out[i] = w[i] * (a[i] - b[i]);
}

void windowedDifference(const double* w, const double* a, const double* b, double* out, int n) {
    return KESTRAND_VECTOR_CALL(windowedDifferenceBody, w, a, b, out, n);
}

template <class Lanes>
KESTRAND_VECTOR_BODY void mixElementsBody(double gx, const double* x, double gy, const double* y, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, gx * load<Lanes>(x + i) + gy * load<Lanes>(y + i));
    for (; i < n; ++i) out[i] = gx * x[i] + gy * y[i];
}

void mixElements(double gx, const double* x, double gy, const double* y, double* out, int n) {
    return KESTRAND_VECTOR_CALL(mixElementsBody, gx, x, gy, y, out, n);
}

// The gain of one bin: sqrt((numerator / smooth) * factor) * after, or 1
// where smooth is not positive or the gain would not be a finite number.
inline double binGain(double numerator, double smooth, double factor, const double* after, int j) {
    double gain = 1.0;
    if (smooth > 0.0) {
        double root = std::sqrt((numerator / smooth) * factor);
        if (after) root *= after[j];
        if (std::isfinite(root)) gain = root;
    }
    return gain;
}

// The same for bins j .. j + 3.
template <class Lanes>
[[gnu::always_inline]] inline Lanes binGains(const double* numerator, const double* smooth, double factor,
                                             const double* after, int j) {
    const Lanes one = broadcast<Lanes>(1.0);
    const Lanes zero = broadcast<Lanes>(0.0);
    const double limit = std::numeric_limits<double>::max();
    const Lanes t = load<Lanes>(smooth + j);
    const Lanes q = (load<Lanes>(numerator + j) / t) * factor;
    // Roots of what can give a usable gain only (NaN compares false).
    const auto usable = (t > 0.0) & (q >= 0.0) & (q <= limit);
    const Lanes root = squareRoots(select(usable, q, one));
    const Lanes gain = after ? root * load<Lanes>(after + j) : root;
    const auto finite = (gain - gain) == zero;
    return select(usable & finite, gain, one);
}

template <class Lanes>
KESTRAND_VECTOR_BODY void scaleBinsByGainsBody(double* data, int n, const double* numerator, const double* smooth,
                                               double factor, const double* after) {
    const int half = n / 2;
    data[0] *= binGain(numerator[0], smooth[0], factor, after, 0);
    int k = 1;
    for (; k + 4 <= half; k += 4) {
        const Lanes g = binGains<Lanes>(numerator, smooth, factor, after, k);
        store(data + k, load<Lanes>(data + k) * g);
        store(data + n - k - 3, load<Lanes>(data + n - k - 3) * reversed(g));
    }
    for (; k < half; ++k) {
        const double g = binGain(numerator[k], smooth[k], factor, after, k);
        data[k] *= g;
        data[n - k] *= g;
    }
    data[half] *= binGain(numerator[half], smooth[half], factor, after, half);
}

void scaleBinsByGains(double* data, int n, const double* numerator, const double* smooth, double factor,
                      const double* after) {
    return KESTRAND_VECTOR_CALL(scaleBinsByGainsBody, data, n, numerator, smooth, factor, after);
}

template <class Lanes>
KESTRAND_VECTOR_BODY void addElementsBody(const double* x, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load<Lanes>(out + i) + load<Lanes>(x + i));
    for (; i < n; ++i) out[i] += x[i];
}

void addElements(const double* x, double* out, int n) { return KESTRAND_VECTOR_CALL(addElementsBody, x, out, n); }

}  // namespace kestrand
