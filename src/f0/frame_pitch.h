// The pitch estimate of one analysis frame: a windowed squared-difference
// function proposes candidate periods, a Fourier magnitude at each candidate
// chooses one, and the chosen period is refined to a fraction of a sample.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "audio/wave_info.h"
#include "dsp/position_kernel.h"
#include "dsp/window_tables.h"
#include "f0/period_waves.h"

namespace kestrand {

// Rates below this cannot be analysed: the frame signal's reader width
// rate / 920 would be 0.
inline constexpr std::uint32_t kLowestAnalysisRate = 920;

// Everything the frame estimates of one analysis share, read-only while the
// analysis threads run.
struct FramePitchSetup {
    int windowLength = 0;  // N
    int frameStep = 0;     // Step
    int half = 0;          // N / 2
    int quarter = 0;       // N / 4
    int eighth = 0;        // N / 8
    int span = 0;          // N + N / 2, the samples analysed around a frame
    int rate = 0;
    int minLag = 0;  // rate / 900: the shortest period searched (900 Hz)
    int maxLag = 0;  // the smaller of rate / 52 and 3N/4: the longest period searched
    std::int64_t frames = 0;
    double frameOffset = 0;  // (1.5 N - 0.5 Step) x 0.5: where the frame signal starts before a frame
    AnalysisWindows windows;
    std::vector<double> evenSpanWindow;  // spanWindow[2 i] for i = 0 .. 3N/4 - 1
    StoredChannel stored;                // channel 0 as stored, zero-padded
    std::vector<double> smooth;          // the reader of the depth at every whole frame position
    std::unique_ptr<PeriodWaves> waves;  // candidate periods up to 3N/4 + 1

    // The longest lag any estimate may search: 3N/4.
    int lagLimit() const { return quarter + half; }
};

// Builds the shared part for channel 0 of a loaded sample (the sound bytes
// up to its data size; bytes beyond read as zero bytes) with window length N
// and frame step Step. Null when the sample type cannot be analysed (see
// analyseFrequencies) or N is not a multiple of 8 in 16 .. 65536 or Step < 1.
// The frame signal is prepared on `threadCount` threads.
std::unique_ptr<FramePitchSetup> prepareFramePitch(const LoadedSample& sample, int windowLength, int frameStep,
                                                   int threadCount);

// Per-thread working storage of the frame estimate, sized once.
struct FramePitchScratch {
    explicit FramePitchScratch(const FramePitchSetup& setup);
    std::vector<double> signal;      // x: span entries
    std::vector<double> reversed;    // x backwards
    std::vector<double> windowed;    // y: N entries
    std::vector<double> difference;  // D by lag, 0 .. 3N/4 + 1
    std::vector<int> candidates;
    std::vector<double> readsBefore;  // one refinement step's reads, 3N/4 each
    std::vector<double> readsAfter;
    ReaderKernel before;
    ReaderKernel after;
};

// The fundamental frequency of the frame at sample position `position`,
// searched over lags lowestLag .. highestLag (highestLag at most 3N/4), in
// Hz, or 0 when the frame is judged to have no pitch. Mode 1 accepts only
// frames with few enough candidates; mode 2 any frame with a candidate.
double estimateFramePitch(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                          int lowestLag, int highestLag, int mode);

// The refinement of an integer lag u of the frame at `position`: the
// fractional lag (u itself when the search strays more than 1 from it).
double refineLag(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position, int lag);

}  // namespace kestrand
