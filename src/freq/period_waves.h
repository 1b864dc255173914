// Cosine and sine of one period of every candidate lag, filled on first use
// and shared read-only by the analysis threads.
#pragma once

#include <memory>
#include <mutex>

namespace kestrand {

class PeriodWaves {
public:
    // Periods 1 .. maxPeriod can be asked for.
    explicit PeriodWaves(int maxPeriod);

    int maxPeriod() const { return maxPeriod_; }

    // For a period tau (1 <= tau <= maxPeriod): 2 x tau doubles, the pairs
    // cos(2 pi r / tau), sin(2 pi r / tau) for r = 0 .. tau - 1. Safe to call
    // from several threads at once.
    const double* wave(int tau) const;

private:
    int maxPeriod_;
    std::unique_ptr<double[]> table_;
    std::unique_ptr<std::once_flag[]> filled_;
};

}  // namespace kestrand
