// Cosine and sine at every frame sample of every candidate lag, filled on
// first use and shared read-only by the analysis threads.
#pragma once

#include <atomic>
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

    // For a period tau (1 <= tau <= maxPeriod): 2 x length floats, the
    // cosines of (2 pi x i) / tau for i = 0 .. length - 1, then the sines,
    // each within kFloatWaveError of the value wave(tau) holds. They come
    // from a rotation, not a sine and cosine per sample, so they are cheap
    // to fill. Safe to call from several threads at once.
    const float* floatWave(int tau) const;

private:
    // A table per period, filled once; `ready` publishes it, so that a
    // filled table is found without the once-flag.
    template <class T>
    struct Tables {
        explicit Tables(std::size_t count);
        std::vector<std::unique_ptr<T[]>> tables;
        std::unique_ptr<std::once_flag[]> filled;
        std::unique_ptr<std::atomic<const T*>[]> ready;
    };

    int maxPeriod_;
    int length_;
    mutable Tables<double> waves_;
    mutable Tables<float> floatWaves_;
};

// The waves for (maxPeriod, length), shared by every analysis in the process:
// they depend on nothing else, so a program that analyses many samples (the
// voice-folder tool) fills each table once instead of once per sample.
std::shared_ptr<const PeriodWaves> sharedPeriodWaves(int maxPeriod, int length);

// How far a value of floatWave lies at most from wave's: the rounding to
// single precision (in any rounding mode) and, far below it, the drift of
// the rotation and the rounding of the angles, for lengths up to 65536.
inline constexpr double kFloatWaveError = 0x1p-23 + 1e-9;

}  // namespace kestrand
