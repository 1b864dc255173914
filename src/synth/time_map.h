// Where the note's output time line reads the voice sample: the region
// [start, start + length) in input frames, with a consonant head read at one
// speed, a middle stretched to fill the note and a fixed tail at another speed.
#pragma once

#include <cstdint>

#include "input/voice_entry.h"

namespace kestrand {

struct TimeMap {
    double start = 0;                                   // region start, input frames (t)
    double length = 0;                                  // region length, input frames (w)
    double headRate = 0, middleRate = 0, tailRate = 0;  // input frames per output sample, signed
    double headEnd = 0;                                 // reads below this use headRate
    double middleEnd = 0;      // reads below this (and not in the head) use middleRate, above tailRate
    double startPosition = 0;  // the first read position
};

// Builds the map for a region, the two rates and the note length B
// (outCount). Velocities set the head and tail speeds 2^(v / 100 - 1). When a
// head and a tail leave no more than 256 output samples for the middle, both
// are squeezed into the note; for notes of 256 samples or fewer the middle
// gets half the note instead of 256 samples, so no rate divides by zero.
// Rates that still come out non-finite fall back to the plain rate ratio.
TimeMap makeTimeMap(const VoiceEntry& region, double inputRate, double outputRate, double outCount, double velocity1,
                    double velocity2, bool reverse);

}  // namespace kestrand
