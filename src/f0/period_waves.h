// Cosine and sine at every frame sample of every candidate lag, filled on
// first use and shared read-only by the analysis threads.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

namespace kestrand {

class PeriodWaves {
public:
    // Periods 1 .. maxPeriod can be asked for; each wave has `length` samples.
    PeriodWaves(int maxPeriod, int length);

    int maxPeriod() const { return maxPeriod_; }

    // For a period tau (1 <= tau <= maxPeriod): 2 x length doubles, the pairs
    // cos((2 pi x i) / tau), sin((2 pi x i) / tau) for i = 0 .. length - 1,
    // each angle evaluated exactly so (not reduced to one period), so that the
    // scores are the same to the last bit as evaluating the angle per sample.
    // Safe to call from several threads at once.
    const double* wave(int tau) const;

private:
    int maxPeriod_;
    int length_;
    mutable std::vector<std::unique_ptr<double[]>> waves_;
    std::unique_ptr<std::once_flag[]> filled_;
};

}  // namespace kestrand
