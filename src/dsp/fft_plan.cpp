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

void inverseFft(std::span<double> data, const FftPlan& plan, FftScratch& scratch) {
    if (plan.kind == FftKind::Literal) {
        inverseRealFft(data, plan.literal);
    } else {
        fastInverseRealFft(data, plan.fast, scratch.fast);
    }
}

}  // namespace kestrand
