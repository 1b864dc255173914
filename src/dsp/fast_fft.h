// A faster real FFT for the synthesis workers, with the same packed layout,
// sign convention and scale as realFft / inverseRealFft: n real values go
// through one complex transform of n / 2 points (even samples as real parts,
// odd samples as imaginary parts) and a split into the real spectrum. From 32
// real points on, the bit reversal goes with the first two stages, the other
// stages go two at a time, and the split treats bins k and n / 2 - k together,
// four of each at a time.
#pragma once

#include <span>
#include <vector>

#include "dsp/work_array.h"

namespace kestrand {

struct FastFftPlan {
    int n = 0;                            // real length, a power of two >= 4
    int m = 0;                            // n / 2 complex points
    std::vector<int> bitReverse;          // m entries
    std::vector<double> stageCos;         // per stage h = 1, 2, 4 ...: cos(pi k / h), k < h
    std::vector<double> stageSin;         // sin(pi k / h)
    std::vector<double> stageSinForward;  // -sin(pi k / h)
    std::vector<double> splitCos;         // cos(2 pi k / n), k <= m
    std::vector<double> splitSin;         // sin(2 pi k / n)
    std::vector<int> quarterReverse;      // q bit-reversed within log2(m / 4) bits, q < m / 4
};

FastFftPlan makeFastFftPlan(int n);

// Work space of one thread: 4 x m doubles.
struct FastFftScratch {
    WorkArray re, im, naturalRe, naturalIm;
    void prepare(const FastFftPlan& plan) {
        for (auto* array : {&re, &im, &naturalRe, &naturalIm}) array->resize(static_cast<std::size_t>(plan.m));
    }
};

// In-place forward transform of plan.n values into the packed spectrum.
void fastRealFft(std::span<double> data, const FastFftPlan& plan, FastFftScratch& scratch);
// Forward transform of window[i] * input[i] (input[i] alone without a window)
// into `out` (input may be out.data()); with `power`, also the power of bins
// 0 .. n / 2 (place k squared plus place n - k squared).
void fastRealFft(const double* input, const double* window, std::span<double> out, const FastFftPlan& plan,
                 FastFftScratch& scratch, double* power);
// In-place inverse of the packed spectrum, scaled by n / 2; with a window,
// value i is then multiplied by window[i] * amplitude.
void fastInverseRealFft(std::span<double> data, const FastFftPlan& plan, FastFftScratch& scratch,
                        const double* window = nullptr, double amplitude = 1.0);

}  // namespace kestrand
