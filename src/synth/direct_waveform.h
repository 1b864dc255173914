// The driver's sample loop without the frame hand-over: for every output
// sample it advances the read position in the recording, finds the recorded
// period and the wanted pitch there, and writes the direct waveform (the
// voice re-read period by period with a cross-fade between periods). It runs
// one hop at a time so the driver can hand out a frame after each hop.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dsp/decoded_sample.h"
#include "f0/frequency_list.h"
#include "synth/time_map.h"

namespace kestrand {

// Target frequencies and gains per pitch step.
struct NoteCurves {
    std::int32_t step = 256;      // output samples per pitch step
    std::vector<double> targets;  // nP + 1 values, empty without a pitch bend
    std::vector<double> gains;    // nI + 1 values, empty without an intensity curve
    std::int32_t bendCount = 0;
    std::int32_t gainCount = 0;
};

// The state latched every hop for the frame handed out two hops later.
struct Latch {
    double position = 0, period = 0, target = 0;
};

// What the loop reads; fixed for one note.
struct DirectWaveformSetup {
    const DecodedSample* sample = nullptr;
    const FrequencyList* list = nullptr;  // usable (checked by the driver), freqAvg finite and positive
    const NoteCurves* curves = nullptr;
    TimeMap map;
    double inputRate = 44100;   // samplesPerSec
    double nyquist = 22050;     // half the input rate, at least 1
    double ratio = 1;           // input rate / output rate
    double target = 440;        // wanted frequency without a bend
    double mod = 0;             // modulation factor
    double inputFrames = 0;     // loaded frames
    std::int32_t outCount = 0;  // note length
    int hop = 256;
    bool noFormant = false;  // apply the intensity gains to the samples
    bool literal = false;    // tap-by-tap reads and every division as written
};

// The loop's running state and its work space (sized once for a hop).
struct DirectWaveformState {
    double I = 0;  // read position, input frames
    double U = 0;  // phase within the period, 0 .. 1
    Latch latch, previous;
    std::vector<double> periods;        // input rate / frequency per list entry (fast evaluation)
    std::vector<double> positions;      // read positions of one hop, two per sample
    std::vector<double> reads;          // their values
    std::vector<double> fades;          // cross-fade weight per sample
    std::vector<std::int32_t> indices;  // output sample of each pair of reads
    std::vector<double> spots, rates, lengths, steps, phases;  // per sample of a hop: I, rate, R, phase step, U
};

// Prepares the state for the note: position at the map's start, phase 0.
DirectWaveformState startDirectWaveform(const DirectWaveformSetup& setup);

// Output samples j0 .. j1 - 1 (j0 a multiple of the hop, at most one hop):
// writes direct[j] for every j below outCount (0 where the read lies outside
// the sample), advances the state, and latches at j0.
void fillDirectWaveform(const DirectWaveformSetup& setup, DirectWaveformState& state, std::int64_t j0, std::int64_t j1,
                        std::span<double> direct);

}  // namespace kestrand
