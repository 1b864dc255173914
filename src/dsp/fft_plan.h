// The front end of the real FFTs: one plan for a length and a choice between
// the literal transform (dsp/real_fft.h, the reference) and the fast one
// (dsp/fast_fft.h), both with the same packed spectrum, sign convention and
// scale: place k holds Re X_k for 0 <= k <= n/2, place n-k holds -Im X_k for
// 0 < k < n/2; no scaling forward, the inverse returns n/2 times the signal.
#pragma once

#include <span>

#include "dsp/fast_fft.h"
#include "dsp/real_fft.h"

namespace kestrand {

enum class FftKind { Literal, Fast };

// The tables of one transform length, built once and read by many threads.
// Only the chosen transform's tables are filled.
struct FftPlan {
    int n = 0;
    FftKind kind = FftKind::Fast;
    FftTables literal;
    FastFftPlan fast;
};

// The plan for n (a power of two, 4 .. 65536) and the chosen transform.
FftPlan makeFftPlan(int n, FftKind kind);

// The work space of one thread for a plan (nothing for the literal transform).
struct FftScratch {
    FastFftScratch fast;
    void prepare(const FftPlan& plan) { fast.prepare(plan.fast); }
};

// Forward transform of plan.n values in place.
void forwardFft(std::span<double> data, const FftPlan& plan, FftScratch& scratch);

// Forward transform of window[i] * input[i] (input[i] alone when `window` is
// null) into `out`; input may be out.data(). With `power`, also the power of
// bins 0 .. n / 2 into it (place k squared plus place n - k squared).
void forwardFft(const double* input, const double* window, std::span<double> out, const FftPlan& plan,
                FftScratch& scratch, double* power);

// Inverse transform of a packed spectrum of plan.n values in place, scaled by
// n / 2; with a window, value i is then multiplied by window[i] * amplitude.
void inverseFft(std::span<double> data, const FftPlan& plan, FftScratch& scratch, const double* window = nullptr,
                double amplitude = 1.0);

}  // namespace kestrand
