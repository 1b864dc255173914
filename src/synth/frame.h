// One synthesis frame: restores the recorded voice's spectral envelope on a
// frame of the direct waveform, adds shaped breath noise, and leaves the
// windowed, weighted frame for the driver to add into the note.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dsp/decoded_sample.h"
#include "dsp/fft_plan.h"
#include "dsp/folded_sums.h"
#include "dsp/sample_view.h"
#include "dsp/sinc_fast.h"
#include "dsp/window_tables.h"
#include "dsp/work_array.h"
#include "synth/synthesis_tables.h"

namespace kestrand {

// Everything the workers read and nobody changes while they run (the direct
// waveform only grows ahead of the frames handed out).
struct SynthesisShared {
    int frameSize = 1024;  // N
    std::int32_t outputRate = 44100;
    std::vector<double> analysisWindow;  // sin(pi n / N)
    FftPlan fft;                         // literal transform for the literal evaluation, else fast
    std::vector<double> tiltTable;       // breath tilt per bin (only with breath)
    MixGains gains;
    SampleView sample;      // the recording, first channel
    DecodedSample decoded;  // the part of it the note reads, as doubles
    std::uint32_t inputRate = 44100;
    SincWidth sourceWidth;             // max(1, rate ratio); 1.01 at least for 8-bit
    SincWidth breathWidth;             // max(1, rate ratio)
    std::span<const double> envelope;  // intensity gains, count + 1 values; empty when absent
    std::int32_t envelopeStep = 1;     // output samples per envelope point
    const double* directBuffer = nullptr;
    std::size_t directSize = 0;
    double genderFactor = 1.0;
    double breathiness = 0.0;
    bool reverse = false;
    std::int32_t outputCount = 0;
    // Reference evaluation: tap-by-tap readers at the literal positions and
    // the two components transformed back separately. Same result up to
    // rounding; used to check the fast path.
    bool literal = false;
};

// The work arrays of one thread that processes frames, sized once.
struct FrameWork {
    WorkArray voice, source, breath, extra, powerA, powerB, envelopeSums;
    FoldScratch fold;
    FftScratch fftScratch;

    // Sizes the arrays for the shared frame size.
    void prepare(const SynthesisShared& tables);
};

// One frame's own values, written by the driver before the frame is handed
// out, and the finished frame.
struct FrameRequest {
    std::int32_t position = 0;       // last output sample of the frame
    double rateRatio = 1.0;          // input rate / output rate
    double inputPosition = 0.0;      // input frame at the frame's middle
    double period = 0.0;             // recorded pitch period there, input frames
    double targetFrequency = 0.0;    // wanted frequency, Hz
    std::int32_t envelopeCount = 0;  // points of the intensity envelope
    std::span<const double> noise;   // this frame's N white-noise values (with breath)
    // The finished frame: output samples position - N + 1 .. position.
    WorkArray frame;

    // Sizes the frame for the shared frame size.
    void prepare(const SynthesisShared& tables);
};

// Processes the frame described by `request` into request.frame, using
// `work` for its intermediate arrays (prepared for the same tables).
void processFrame(const SynthesisShared& shared, FrameRequest& request, FrameWork& work);

// Adds the request's finished frame into the note (indices 0 .. outputCount - 1 only).
void addFrameToOutput(const FrameRequest& request, int frameSize, std::span<double> output, std::int32_t outputCount);

}  // namespace kestrand
