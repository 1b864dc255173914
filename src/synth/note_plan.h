// Everything the synthesis engine needs to know about one note besides the
// sample and its frequency list, as plain values.
#pragma once

#include <cstdint>
#include <optional>

#include "bend/pitch_curve.h"
#include "input/voice_entry.h"

namespace kestrand {

struct NotePlan {
    VoiceEntry region;                    // the usable region of the sample, ms (offset, length, fix1, fix2)
    std::int32_t outCount = 0;            // note length, output samples
    double target = 440.0;                // wanted frequency without a bend, Hz
    double mod = 0.0;                     // share of the sample's own pitch movement kept (1 = all)
    double genderFactor = 1.0;            // formant shift factor
    double breathiness = 0.0;             // 0 .. 1
    double alpha = 1.0;                   // breath tilt, 0 .. 10
    double velocity1 = 100.0;             // consonant (head) velocity, percent
    double velocity2 = 100.0;             // tail velocity, percent
    bool reverse = false;                 // read the region backwards
    bool noFormant = false;               // the direct waveform only, no frames
    double tempo = 0.0;                   // beats per minute of the curves
    std::optional<PitchCurve> pitchBend;  // cents per pitch step
    std::optional<PitchCurve> intensity;  // gain curve 2^(value / 200)
    std::int32_t outputRate = 44100;
    int frameSize = 1024;            // FFT length of the frames
    int hopSize = 256;               // frame spacing
    std::int32_t threadRequest = 0;  // worker threads asked for; 0 lets the engine choose
};

}  // namespace kestrand
