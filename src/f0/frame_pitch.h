// The pitch estimate of one analysis frame: a windowed squared-difference
// function proposes candidate periods, a Fourier magnitude at each candidate
// chooses one, the chosen period is refined to a fraction of a sample, and
// its sub-multiples and double are judged before the period is accepted.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "audio/wave_info.h"
#include "dsp/position_kernel.h"
#include "dsp/window_tables.h"
#include "f0/difference_screen.h"
#include "f0/fourier_screen.h"
#include "f0/period_waves.h"
#include "f0/refinement_reads.h"

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
    std::vector<double> evenSpanWindow;        // spanWindow[2 i] for i = 0 .. 3N/4 - 1
    StoredChannel stored;                      // channel 0 as stored, zero-padded
    std::vector<double> smooth;                // the reader of the depth at every whole frame position
    std::shared_ptr<const PeriodWaves> waves;  // candidate periods up to 3N/4 + 1
    std::vector<double> levels;                // frameLevel at every list position k x Step, k = 0 .. frames / Step
    double loudestLevel = 0;                   // the highest of them

    // The longest lag any estimate may search: 3N/4.
    int lagLimit() const { return quarter + half; }
    // What the refinement's measure reads.
    RefinementSpan refinementSpan() const { return {&stored, evenSpanWindow.data(), lagLimit(), lagLimit()}; }
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
    std::vector<double> difference;  // D by lag, 0 .. 3N/4 + 1, where known (see exactDifferences)
    std::vector<int> candidates;
    DifferenceScreen screen;          // D in single precision with error bounds
    bool screened = false;            // whether `screen` holds the frame's D
    std::vector<int> knownIn;         // by lag: the frame whose D[lag] is in `difference`
    int frame = 0;                    // counts the frames findCandidates has filled
    std::vector<signed char> rising;  // by lag j: the sign of D[j] - D[j - 1]
    std::vector<int> unsettled;       // lags whose comparison the screen leaves open
    std::vector<int> pending;         // lags whose exact D is wanted
    std::vector<double> pendingValues;
    std::vector<int> order;  // candidates or lags in the order they are taken
    std::vector<double> values;
    FourierScreen fourier;  // the scores' Fourier sums in single precision with error bounds
    std::vector<double> scoreLow;
    std::vector<double> scoreHigh;
    RefinementReads reads;         // the refinement's reads
    std::vector<double> stepLags;  // the lags of one round of refinement steps
    std::vector<RefinedDifference> stepValues;
};

// The fundamental frequency of the frame at sample position `position`,
// searched over lags lowestLag .. highestLag (highestLag at most 3N/4), in
// Hz, or 0 when the frame is judged to have no pitch. Mode 1 accepts frames
// with few enough candidates, and loud, clearly periodic frames with more;
// mode 2 any frame with a candidate. The period is the one decidePeriod
// settles on, starting from the lag the Fourier score chooses.
double estimateFramePitch(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                          int lowestLag, int highestLag, int mode);

// Fills the frame signal and the candidate list (scratch.candidates,
// ascending: the strict local minima of the difference function) of the
// frame at `position` over lowestLag .. highestLag, and returns the number
// of candidates. The difference function is computed exactly only where
// its single-precision screen cannot settle a comparison of neighbouring
// lags; exactDifferences gives it at any lag of the range.
int findCandidates(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position, int lowestLag,
                   int highestLag);

// Makes scratch.difference[lag] the exact difference function of the frame
// findCandidates last filled, for every lag of `lags` (inside its range).
void exactDifferences(const FramePitchSetup& setup, FramePitchScratch& scratch, std::span<const int> lags);

// The candidate (of those findCandidates left in `scratch`, at least one)
// whose Fourier magnitude over root difference is greatest; the later one
// on a tie.
int scoreCandidates(const FramePitchSetup& setup, FramePitchScratch& scratch);

// The normalised difference at a whole lag of the frame that findCandidates
// last filled into `scratch` (lowestLag <= lag <= highestLag, its range):
// the smallest difference function value at the lag and its neighbours
// within the range over the energy that the lag's value compares. A coarse
// measure (the frame signal is low-passed, the lag whole) that is cheap.
double wholeLagDifference(const FramePitchSetup& setup, FramePitchScratch& scratch, int lag, int lowestLag,
                          int highestLag);

// wholeLagDifference at every lag of `lags` into out (2 for a lag outside
// lowestLag .. highestLag), the lags measured together.
void wholeLagDifferences(const FramePitchSetup& setup, FramePitchScratch& scratch, std::span<const int> lags,
                         int lowestLag, int highestLag, double* out);

// The refinement of one whole lag u, held so that it can stop at a coarse
// step width and go on later exactly as if it had never stopped.
struct LagRefinement {
    double start = 0;   // u
    double centre = 0;  // the best lag so far
    double width = 1;   // the next step width
    double tolerance = 0;
    int steps = 0;
    RefinedDifference best;        // the value at the centre once a step is done
    RefinedDifference startValue;  // the value at u
    bool strayed = false;          // the search went more than 1 from u: the lag is u
    bool finished = false;

    double lag() const { return strayed ? start : centre; }
    // The difference over the energy at lag(): 0 when the frame repeats
    // exactly after the lag, about 1 when it is unrelated to itself; 1 when
    // both reads are silent.
    double normalisedDifference() const;
};

// The normalised refined difference of the frame at `position` at exactly
// `lag` (fractional): the refinement's measure over the energy of its reads.
double periodDifference(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position, double lag);

// A refinement of the whole lag u that has not taken a step yet.
LagRefinement beginRefinement(int lag);

// Takes refinement steps of the frame at `position` (width 1, then halved)
// while the width is above both u / 80000 and stopWidth (0: to the end).
// The energies behind normalisedDifference are measured only in steps taken
// with a stop width above 0: read it after those, before going on to the end.
void continueRefinement(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                        LagRefinement& refinement, double stopWidth);

// continueRefinement for several refinements of the same frame at once (the
// lags of one step of each are measured together); each ends as it would
// alone.
void continueRefinements(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                         std::span<LagRefinement> refinements, double stopWidth);

// The whole refinement of an integer lag u of the frame at `position`: the
// fractional lag (u itself when the search strays more than 1 from it).
double refineLag(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position, int lag);

}  // namespace kestrand
