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
#include "dsp/decoded_sample.h"
#include "dsp/fast_fft.h"
#include "dsp/fast_sinc.h"
#include "dsp/folded_sums.h"
#include "dsp/real_fft.h"
#include "dsp/sample_view.h"
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

struct WorkerSlot;

// The work arrays of one thread that processes frames, sized once.
struct FrameWork {
    std::vector<double> voice, source, breath, extra, powerA, powerB, envelopeSums;
    FoldScratch fold;
    FastFftScratch fftScratch;

    // Sizes the arrays for the shared frame size.
    void prepare(const SynthesisShared& tables);
};

// The slots of a render as one pool of frames: any thread may take any frame
// that was handed over and not started (state 1 -> 2), oldest first; the
// driver adds the finished frames into the note in hand-over order. The
// worker threads share ownership of the pool and end by themselves after the
// render, so nothing waits for them.
struct WorkerPool {
    std::vector<std::unique_ptr<WorkerSlot>> owned;
    std::span<const std::unique_ptr<WorkerSlot>> slots;  // = owned
    std::atomic<std::size_t> oldest{0};  // the slot handed over longest ago (the driver's next)
    std::atomic<int> active{0};          // worker threads awake and looking for frames
    int wantActive = 1;                  // wake a sleeping worker while fewer are awake
    int started = 0;                     // worker threads started so far (by the driver)
    std::unique_ptr<FrameWork> driverWork;  // the driver's, made when it first takes a frame
};

// One worker thread's frame record and its private work space.
struct WorkerSlot {
    int index = 0;
    const SynthesisShared* shared = nullptr;
    WorkerPool* pool = nullptr;
    std::atomic<bool> sleeping{false};  // this slot's thread waits on startEvent, claimable by a waker
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
    // The work arrays of the thread processing the frame.
    FrameWork* work = nullptr;
    std::unique_ptr<FrameWork> ownWork;

    // Sizes the frame and noise arrays for the shared frame size.
    void prepareFrame(const SynthesisShared& tables);
    // The same, and work arrays of the slot's own for processing it alone.
    void prepare(const SynthesisShared& tables);
};

// Processes the frame described by the slot into slot.frame.
void processFrame(WorkerSlot& slot);

// Body of a worker thread (one per slot, started when first needed): while
// there are frames handed over and not started in the pool, it takes the
// oldest, processes it and signals that slot done, looking a little longer
// before it sleeps on its slot's start event. Ends when woken with its slot's
// state at -1.
void workerThreadMain(WorkerSlot& slot);

// Hands the frame written into slot `index` over to the pool; while fewer
// workers than wanted are awake, wakes a sleeping one or starts another (up
// to one per slot).
void handOver(const std::shared_ptr<WorkerPool>& pool, std::size_t index);

// Waits until slot `next` has finished its frame. Rather than wait idle, the
// calling thread takes frames that were handed over but not started yet,
// oldest first, and processes them itself; then it watches the slot for a
// short while before it sleeps on the slot's done event.
void finishSlot(WorkerPool& pool, std::size_t next);

// Adds the slot's finished frame into the note (indices 0 .. outputCount - 1 only).
void addFrameToOutput(const WorkerSlot& slot, std::span<double> output, std::int32_t outputCount);

}  // namespace kestrand
