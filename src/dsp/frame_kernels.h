// Element-wise loops of the worker's frame, four doubles at a time. Each
// element is computed as the plain loop would compute it, except that a
// multiply and the add after it may be fused into one rounding.
#pragma once

namespace kestrand {

// out[i] = a[i] * b[i] for i < n (out may be a or b).
void multiplyElements(const double* a, const double* b, double* out, int n);

// out[i] = w[i] * (a[i] - b[i]) for i < n (out may be a or b).
void windowedDifference(const double* w, const double* a, const double* b, double* out, int n);

// Power of bins 0 .. n / 2 of a packed spectrum (place k the real part, place
// n - k minus the imaginary part): power[k] = data[k]^2 + data[n - k]^2, and
// data[k]^2 alone at k = 0 and n / 2. n is a multiple of 8.
void packedPower(const double* data, int n, double* power);

// Multiplies bin k of a packed spectrum by gain[k], k = 0 .. n / 2 (both
// places of the bin). n is a multiple of 8.
void scaleBins(double* data, int n, const double* gain);

// out[i] = gx * x[i] + gy * y[i] for i < n (out may be x or y).
void mixElements(double gx, const double* x, double gy, const double* y, double* out, int n);

// Gains of bins 0 .. count - 1: sqrt((numerator[j] / smooth[j]) * factor) *
// after[j], or 1 where smooth[j] is not positive or the gain would not be a
// finite number. `after` may be null (no factor after the root).
void binGains(const double* numerator, const double* smooth, double factor, const double* after, double* gains,
              int count);

// out[i] = out[i] + x[i] for i < n.
void addElements(const double* x, double* out, int n);

// out[i] = out[i] * (w[i] * a) for i < n.
void scaleByWindow(double* out, const double* w, double a, int n);

}  // namespace kestrand
