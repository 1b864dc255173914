// Slow, literal evaluations of the pitch analysis formulas, one reader call
// per sample and every sum in the written order: the reference the fast
// analysis is compared with, stage by stage and as a whole.
#pragma once

#include <cstdint>

#include "audio/wave_info.h"
#include "f0/frequency_list.h"

namespace kestrand::test {

// The literal frame estimate at position a over lags lowest .. highest in
// mode 1 or 2: the score's choice, refined, accepted by the candidate count.
double literalFramePitch(const LoadedSample& sample, std::int64_t a, int lowest, int highest, int mode,
                         int windowLength, int frameStep);

// The candidate count and the score's choice of the frame at a.
struct LiteralChoice {
    int candidateCount = 0;
    int lag = 0;
};
LiteralChoice literalChoice(const LoadedSample& sample, std::int64_t a, int lowest, int highest, int windowLength,
                            int frameStep);

// The whole refinement of the whole lag `lag` of the frame at a.
double literalRefinement(const LoadedSample& sample, std::int64_t a, int lag, int windowLength, int frameStep);

// The frame estimate as the analysis makes it: the literal stages, then the
// period decision over the chosen lag's parts and multiples and the voicing
// of loud, clearly periodic frames with many candidates; loudestLevel is
// slowLoudestLevel of the sample, the level loud frames are measured against.
double slowFramePitch(const LoadedSample& sample, std::int64_t a, int lowest, int highest, int mode, int windowLength,
                      int frameStep, double loudestLevel);
double slowLoudestLevel(const LoadedSample& sample, int windowLength, int frameStep);

// The whole analysis on one thread, built on the same slow frame estimate,
// with the octave continuity of the second pass (no report printed).
FrequencyList slowAnalysis(const LoadedSample& sample, int windowLength, int frameStep);

// A mono sample of `frames` frames holding `level` x sin(2 pi f t) (16-bit
// scale), stored with `bits` per sample (32 bits as integers when formatTag
// is 1, floats otherwise), followed by a zero tail of 4096 frames.
LoadedSample toneSample(double frequency, std::uint32_t rate, int bits, int frames, double level,
                        std::uint16_t formatTag = 1);

}  // namespace kestrand::test
