// The period decision of a frame: the lag the Fourier score chooses is
// judged together with its sub-multiples and its double, each refined to a
// fraction of a sample, and the shortest lag that repeats the frame about as
// well as the best of them is taken. This keeps a lag of two or three
// periods (which lands on whole samples more closely than one period does)
// from halving the pitch, and half a period (favoured by a strong second
// harmonic) from doubling it.
#pragma once

#include <cstdint>

#include "f0/frame_pitch.h"

namespace kestrand {

// How much larger than the smallest normalised difference among the judged
// lags a shorter lag's may be and still be taken. Against the true period
// T, a lag of T / k is worse by the sum of (1 - cos(2 pi j / k)) x (energy
// share of harmonic j) over the harmonics j that are no multiple of k: half
// a period by twice the share of the odd harmonics, fundamental included.
// With 0.02, half a period wins only when those carry less than 1 % of the
// periodic energy (-20 dB): then the frame is, to any listener, a tone of
// the double frequency. The other side of the bound: with the jitter (1 %)
// and shimmer (10 %) of a rough voice, the difference at the true period
// comes out above that at twice the period by up to about 0.015 in single
// frames; a smaller tolerance would take those frames an octave low.
inline constexpr double kPeriodTolerance = 0.02;

// The lags are judged after the refinement steps down to this width (an
// eighth of a sample): finer steps change the differences of voiced frames
// by far less than the tolerance. Only the lag taken is refined to the end.
inline constexpr double kJudgingWidth = 0.25;

// Only the related lags whose coarse difference (wholeLagDifference) is at
// most the best coarse difference among them and the chosen lag plus this
// are judged: a lag the low-passed frame does not nearly repeat after is no
// period of it, and refining it would only cost time.
inline constexpr double kScreeningMargin = 0.15;

// The decision leaves the chosen lag as it is unless the best judged lag's
// normalised difference is at most this (a correlation of one half): in
// noise every lag is about as bad as any other, and the shortest of them
// means nothing.
inline constexpr double kRepeatingDifference = 0.5;

struct PeriodChoice {
    double lag = 0;               // the decided period in samples, refined
    double difference = 1;        // its normalised difference
    double chosenDifference = 1;  // that of the score's choice
};

// The period of the frame at `position` from the score's choice `chosenLag`:
// 1. the chosen lag is refined down to kJudgingWidth; 2. for k = 2, 3, ...
// the whole lags nearest to its k-th part (while that part is at least
// lowestLag) and to its k-fold (while that rounds to at most highestLag) are
// refined the same way; 3. when the
// smallest normalised difference among them is at most kRepeatingDifference,
// the shortest lag whose difference is at most the smallest one plus
// kPeriodTolerance is taken, otherwise the chosen one; it is refined to the
// end. The differences returned are those after step 1 or 2. Without
// judgeRelated, step 2 is left out: the chosen lag is the period.
PeriodChoice decidePeriod(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                          int chosenLag, int lowestLag, int highestLag, bool judgeRelated);

}  // namespace kestrand
