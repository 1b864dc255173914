// The synthesis worker: restores the recorded voice's spectral envelope on one
// frame of the direct waveform, adds shaped breath noise, and leaves the
// windowed, weighted frame in its slot for the driver to add into the note.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/sync.h"
#include "synth/decoded_sample.h"
#include "synth/fast_fft.h"
#include "synth/fast_sinc.h"
#include "synth/folded_sums.h"
#include "synth/real_fft.h"
#include "synth/sample_view.h"
#include "synth/synthesis_tables.h"

namespace kestrand {

// Everything the workers read and nobody changes while they run (the direct
// waveform only grows ahead of the frames handed out).
struct SynthesisShared {
    int frameSize = 1024;          // N
    std::int32_t outputRate = 44100;
    std::vector<double> analysisWindow;  // sin(pi n / N)
    FftTables fft;        // reference transform (literal evaluation)
    FastFftPlan fastFft;  // the transform of the fast evaluation
    std::vector<double> tiltTable;  // breath tilt per bin (only with breath)
    MixGains gains;
    SampleView sample;              // the recording, first channel
    DecodedSample decoded;          // the part of it the note reads, as doubles
    std::uint32_t inputRate = 44100;
    SincWidth sourceWidth;          // max(1, rate ratio); 1.01 at least for 8-bit
    SincWidth breathWidth;          // max(1, rate ratio)
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

// One worker thread's frame record and its private work space.
struct WorkerSlot {
    int index = 0;
    const SynthesisShared* shared = nullptr;
    // Per frame, written by the driver while the slot is idle.
    std::int32_t position = 0;       // last output sample of the frame
    double rateRatio = 1.0;          // input rate / output rate
    double inputPosition = 0.0;      // input frame at the frame's middle
    double period = 0.0;             // recorded pitch period there, input frames
    double targetFrequency = 0.0;    // wanted frequency, Hz
    std::int32_t envelopeCount = 0;  // points of the intensity envelope
    std::vector<double> noise;       // this frame's white noise (with breath)
    std::atomic<int> state{0};       // 1 handed over, 2 running, 0 done, -1 end the thread
    // The finished frame: output samples position - N + 1 .. position.
    std::vector<double> frame;
    bool pending = false;  // driver: frame not yet added into the note
    ManualResetEvent startEvent{false};
    ManualResetEvent doneEvent{true};
    // Work arrays, sized once.
    std::vector<double> voice, source, breath, extra, powerA, powerB, envelopeSums;
    FoldScratch fold;
    FastFftScratch fftScratch;

    // Sizes the work arrays for the shared frame size.
    void prepare(const SynthesisShared& tables);
};

// Processes the frame described by the slot into slot.frame.
void processFrame(WorkerSlot& slot);

// Body of a worker thread: waits for its start event, takes the slot's frame
// unless the driver took it first (state 1 -> 2), processes it and signals it
// done; ends when it is started with state -1.
void workerThreadMain(WorkerSlot& slot);

// Waits until slot `next` has finished its frame. Rather than wait idle, the
// calling thread takes frames that were handed over but not started yet,
// `next` first and then in hand-over order, and processes them itself.
void finishSlot(std::span<const std::unique_ptr<WorkerSlot>> slots, std::size_t next);

// Adds the slot's finished frame into the note (indices 0 .. outputCount - 1 only).
void addFrameToOutput(const WorkerSlot& slot, std::span<double> output, std::int32_t outputCount);

}  // namespace kestrand
