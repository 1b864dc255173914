// The pitch analysis of a whole voice sample: a frequency and an amplitude
// for every list frame, and the weighted average frequency.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/wave_info.h"
#include "f0/frequency_list.h"

namespace kestrand {

// Analyses channel 0 of a loaded sample (sound bytes, zero tail, format and
// data size) with window length N and frame step Step. The first pass runs
// on `threadCount` threads (0: one per processor, at most 32); the result
// does not depend on the thread count. Prints the analysis report to standard
// error (the per-frame progress lines only when it is a terminal). Nothing,
// after a message, when the format cannot be analysed: a depth other than 8,
// 16, 24, 32 or 64 bits, no channels, a block alignment of 0, or a rate
// below 920 Hz; also nothing for N not a multiple of 8 in 16 .. 65536 or a
// Step below 1. A long sample is analysed in pieces, so that the analysis
// needs about one more copy of the sample's sound besides the sample itself.
std::optional<FrequencyList> analyseFrequencies(const LoadedSample& sample, int windowLength, int frameStep,
                                                int threadCount = 0);

// analyseFrequencies with the sample analysed in pieces of `pieceFrames`
// sample frames (see sample_pieces.h); the list is the same for any piece
// size. analyseFrequencies uses kAnalysisPieceFrames.
std::optional<FrequencyList> analyseFrequenciesInPieces(const LoadedSample& sample, int windowLength, int frameStep,
                                                        int threadCount, std::int64_t pieceFrames);

// The analysis window length N and frame step Step for a sample rate:
// 512/64 below 15000 Hz, 720/128 below 30000, 1024/256 below 60000, else 2048/512.
struct AnalysisSize {
    int windowLength;
    int frameStep;
};
AnalysisSize analysisSizeForRate(std::uint32_t rate);

}  // namespace kestrand
