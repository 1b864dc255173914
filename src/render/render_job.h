// The job record: everything one note needs, as parsed from the command line
// or from a parameter file. Zero-filled, then volume 100, breathy 50,
// alpha 100 and flags "P86".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bend/pitch_curve.h"

namespace kestrand {

struct RenderJob {
    std::optional<std::wstring> voiceFile;  // the input: a sample path, or a decoder command or plug-in text
    float voiceOffset = 0;                  // start of the usable region, ms
    float voiceFixed1 = 0;                  // consonant (fixed head), ms; counts only above 0
    float voiceFixed2 = 0;                  // fixed tail, ms; counts only above 0
    float voiceLength = 0;  // >0 length from the offset, <0 ends |value| ms before the end, 0 whole sample
    std::optional<std::wstring> outFile;  // output file; "-" is standard output
    float lengthRequire = 0;              // requested note length, ms
    float length = 0;                     // note length after the lead-in, ms (parameter jobs)
    float tone = 0;                       // >20 Hz, (0, 20] ratio to the average, <=0 the average
    float volume = 100;                   // percent, clamped to 0..200 on use
    float velocity1 = 0;                  // consonant velocity, percent
    float velocity2 = 0;                  // tail velocity, percent
    float modulation = 0;                 // percent of the sample's own pitch movement kept
    float gender = 0;                     // formant shift
    float breathy = 50;                   // percent, clamped to 0..100 on use
    float alpha = 100;                    // breath tilt, percent, clamped to 0..1000 on use
    std::uint8_t noFormant = 0;           // render the direct waveform only
    std::uint8_t reverse = 0;             // render the region backwards
    std::optional<std::wstring> flags = std::wstring(L"P86");
    float tempo = 0;                                   // beats per minute
    std::optional<std::wstring> pitchComp;             // stored only
    std::optional<PitchCurve> pitchBend;               // cents per pitch step
    std::optional<std::wstring> cacheFile;             // WAV used as the note when there is no output file
    std::optional<std::wstring> targetFile;            // WAV into which the note is appended
    float fileOffset = 0;                              // lead-in before the note, ms
    float overlap = 0;                                 // for the append step, ms
    std::optional<std::vector<float>> volumeEnvelope;  // [0] = count, then (duration ms, volume %) pairs
    std::optional<PitchCurve> intensity;               // gain curve 2^(value/200)
    float endPos = 0;                                  // for the append step
    std::int32_t samples = 0;                          // stored only
};

}  // namespace kestrand
