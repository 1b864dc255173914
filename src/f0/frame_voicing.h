// Whether an analysis frame has a pitch: few candidate periods, or, for a
// frame with many, a loud frame whose period repeats clearly.
#pragma once

#include <cstdint>

namespace kestrand {

struct FramePitchSetup;

// A frame with many candidates counts as voiced only when its level is at
// least this share of the loudest list frame's (-30 dB) ...
inline constexpr double kLoudShare = 0.0316;
// ... and the normalised difference at its period (0 for a period that
// repeats exactly, 1 for a signal unrelated to itself a period later) is at
// most this.
inline constexpr double kClearlyPeriodic = 0.2;

// The literal acceptance of a frame: `count` candidates over lowest ..
// highest are few enough when (highest - lowest + 1) / count (whole
// division) exceeds the lowest lag. Yes or no; count must be at least 1.
bool hasFewCandidates(int count, int lowestLag, int highestLag);

// The level of the frame at `position`: the root of the windowed energy of
// the span of N + N/2 samples that starts N/4 before it, in the reader's
// scale; only samples inside the data count. Taken from setup.levels at a
// list position.
double frameLevel(const FramePitchSetup& setup, std::int64_t position);

// Yes when a frame of `level` is loud next to the loudest frame's level.
bool isLoudFrame(double level, double loudestLevel);

// Yes when a normalised difference marks a clearly periodic frame.
bool isClearlyPeriodic(double normalisedDifference);

}  // namespace kestrand
