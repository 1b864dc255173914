#include "dsp/fft_plan.h"

namespace kestrand {

FftPlan makeFftPlan(int n, FftKind kind) {
    FftPlan plan;
    plan.n = n;
    plan.kind = kind;
    if (kind == FftKind::Literal) {
        plan.literal = makeFftTables(n);
    } else {
        plan.fast = makeFastFftPlan(n);
    }
    return plan;
}

void forwardFft(std::span<double> data, const FftPlan& plan, FftScratch& scratch) {
    if (plan.kind == FftKind::Literal) {
        realFft(data, plan.literal);
    } else {
        fastRealFft(data, plan.fast, scratch.fast);
    }
}

void forwardFft(const double* input, const double* window, std::span<double> out, const FftPlan& plan,
                FftScratch& scratch, double* power) {
    if (plan.kind == FftKind::Fast) {
        fastRealFft(input, window, out, plan.fast, scratch.fast, power);
        return;
    }
    const int n = plan.n;
    for (int i = 0; i < n; ++i) out[static_cast<std::size_t>(i)] = window ? window[i] * input[i] : input[i];
    realFft(out, plan.literal);
    if (power) {
        for (int k = 0; k <= n / 2; ++k) {
            const double a = out[static_cast<std::size_t>(k)];
            power[k] = a * a;
            if (k > 0 && k < n / 2)
                power[k] += out[static_cast<std::size_t>(n - k)] * out[static_cast<std::size_t>(n - k)];
        }
    }
}

void inverseFft(std::span<double> data, const FftPlan& plan, FftScratch& scratch, const double* window,
                double amplitude) {
    if (plan.kind == FftKind::Literal) {
        inverseRealFft(data, plan.literal);
        if (window) {
            for (int i = 0; i < plan.n; ++i) data[static_cast<std::size_t>(i)] *= window[i] * amplitude;
        }
    } else {
        fastInverseRealFft(data, plan.fast, scratch.fast, window, amplitude);
    }
}

}  // namespace kestrand
