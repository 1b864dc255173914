// Slow, literal evaluations of the pitch analysis formulas, one reader call
// per sample and every sum in the written order: the reference the fast
// analysis is compared with.
#pragma once

#include <cstdint>

#include "audio/wave_info.h"
#include "f0/frequency_list.h"

namespace kestrand::test {

// The frame estimate at position a over lags lowest .. highest in mode 1 or 2.
double literalFramePitch(const LoadedSample& sample, std::int64_t a, int lowest, int highest, int mode,
                         int windowLength, int frameStep);

// The whole analysis on one thread, built on literalFramePitch (no report printed).
FrequencyList literalAnalysis(const LoadedSample& sample, int windowLength, int frameStep);

// A mono sample of `frames` frames holding `level` x sin(2 pi f t) (16-bit
// scale), stored with `bits` per sample (32 bits as integers when formatTag
// is 1, floats otherwise), followed by a zero tail of 4096 frames.
LoadedSample toneSample(double frequency, std::uint32_t rate, int bits, int frames, double level,
                        std::uint16_t formatTag = 1);

}  // namespace kestrand::test
