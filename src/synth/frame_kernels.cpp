#include "synth/frame_kernels.h"

#include "synth/vector_lanes.h"

namespace kestrand {

using namespace lanes;

KESTRAND_VECTOR_CLONES
void multiplyElements(const double* a, const double* b, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load(a + i) * load(b + i));
    for (; i < n; ++i) out[i] = a[i] * b[i];
}

KESTRAND_VECTOR_CLONES
void windowedDifference(const double* w, const double* a, const double* b, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load(w + i) * (load(a + i) - load(b + i)));
    for (; i < n; ++i) out[i] = w[i] * (a[i] - b[i]);
}

KESTRAND_VECTOR_CLONES
void packedPower(const double* data, int n, double* power) {
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

KESTRAND_VECTOR_CLONES
void scaleBins(double* data, int n, const double* gain) {
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

KESTRAND_VECTOR_CLONES
void mixElements(double gx, const double* x, double gy, const double* y, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, gx * load(x + i) + gy * load(y + i));
    for (; i < n; ++i) out[i] = gx * x[i] + gy * y[i];
}

KESTRAND_VECTOR_CLONES
void addElements(const double* x, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load(out + i) + load(x + i));
    for (; i < n; ++i) out[i] += x[i];
}

KESTRAND_VECTOR_CLONES
void scaleByWindow(double* out, const double* w, double a, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) store(out + i, load(out + i) * (load(w + i) * a));
    for (; i < n; ++i) out[i] *= w[i] * a;
}

}  // namespace kestrand
