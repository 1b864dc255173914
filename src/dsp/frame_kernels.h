// Element-wise loops of the worker's frame, four doubles at a time. Each
// element is computed as the plain loop would compute it, except that a
// multiply and the add after it may be fused into one rounding.
#pragma once

namespace kestrand {

// out[i] = a[i] * b[i] for i < n (out may be a or b).
void multiplyElements(const double* a, const double* b, double* out, int n);

// out[i] = w[i] * (a[i] - b[i]) for i < n (out may be a or b).
void windowedDifference(const double* w, const double* a, const double* b, double* out, int n);

// out[i] = gx * x[i] + gy * y[i] for i < n (out may be x or y).
void mixElements(double gx, const double* x, double gy, const double* y, double* out, int n);

// Multiplies bin k of a packed spectrum (both places of the bin), k = 0 .. n
// / 2, by its gain sqrt((numerator[k] / smooth[k]) * factor) * after[k], or
// by 1 where smooth[k] is not positive or the gain would not be a finite
// number. `after` may be null (no factor after the root). n is a multiple of 8.
void scaleBinsByGains(double* data, int n, const double* numerator, const double* smooth, double factor,
                      const double* after);

// out[i] = out[i] + x[i] for i < n.
void addElements(const double* x, double* out, int n);

}  // namespace kestrand
