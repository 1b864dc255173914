#include "f0/pitch_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "base/number_text.h"
#include "dsp/position_kernel.h"
#include "f0/frame_energy.h"
#include "f0/frame_pitch.h"
#include "f0/sample_pieces.h"
#include "platform/console.h"
#include "platform/system_info.h"

namespace kestrand {

namespace {

constexpr int kMaxAnalysisThreads = 32;
constexpr int kNeighbourFactors = 11;
// Two frequencies count as close when the smaller is above this share of the larger.
constexpr double kCloseRatio = 0.9091;
// A frame an octave off its agreeing neighbours takes their octave unless
// its own period repeats it better by more than this (in normalised
// difference): the neighbours outweigh the small margins by which jitter
// can favour two periods over one, but not a frame that clearly does not
// repeat at their period (half a period with at least 5 % of the energy in
// the odd harmonics is worse by 0.1 and more).
constexpr double kContinuityTolerance = 0.1;

// Pass 1 over the list frames first .. end - 1 of a piece whose position 0
// is the sample frame `origin`: thread t estimates the frames first + t,
// first + t + T, ...; only the thread that starts at the piece's first frame
// shows its progress.
void runFirstPass(const FramePitchSetup& setup, std::int64_t origin, std::int64_t first, std::int64_t end,
                  int threadCount, bool showProgress, std::vector<double>& frequencies) {
    const std::int64_t positions = end - first;
    if (positions <= 0) return;
    const int workers = static_cast<int>(std::clamp<std::int64_t>(positions, 1, threadCount));
    auto work = [&](int offset) {
        FramePitchScratch scratch(setup);
        for (std::int64_t index = first + offset; index < end; index += threadCount) {
            const std::int64_t position = index * setup.frameStep - origin;
            const double frequency = estimateFramePitch(setup, scratch, position, setup.minLag, setup.maxLag, 1);
            frequencies[static_cast<std::size_t>(index)] = frequency;
            if (offset == 0 && showProgress) printErr("pass 1 %d\t%lf\t\r", static_cast<int>(index), frequency);
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers));
    for (int t = 0; t < workers; ++t) threads.emplace_back(work, t);
    for (auto& thread : threads) thread.join();
}

// The amplitude of the list frames first .. end - 1 of a piece whose
// position 0 is the sample frame `origin`: an eighth of the root of the
// energy of the windowed span around each; samples before the start of the
// sample are left out, the zero bytes behind the data count (as the stored
// value 0). Doubles have no amplitude. A piece other than the first starts
// more than a span before its first list frame, so leaving out the samples
// before the piece leaves out those before the sample.
void frameAmplitudes(const FramePitchSetup& setup, std::int64_t origin, std::int64_t first, std::int64_t end,
                     std::vector<double>& amplitudes) {
    if (end <= first || setup.stored.type == SampleType::F64) return;
    const ReaderScale scale = readerScale(setup.stored.type);
    double* out = amplitudes.data() + first;
    windowedSquareSums(setup.stored, scale.scale, scale.offset, setup.frames + setup.stored.padding,
                       first * setup.frameStep - setup.quarter - origin, setup.frameStep, end - first,
                       setup.windows.spanWindow.data(), setup.span, out);
    for (std::int64_t k = 0; k < end - first; ++k) out[k] = 0.125 * std::sqrt(out[k]);
}

// The average frequency of the voiced frames, each weighted by its amplitude
// and by how well it agrees with the eleven frames before it.
double weightedAverage(const std::vector<double>& frequencies, const std::vector<double>& amplitudes,
                       std::int64_t listSize, double fallback) {
    double weights = 0.0;
    double weighted = 0.0;
    for (std::int64_t k = 0; k < listSize; ++k) {
        const double f = frequencies[static_cast<std::size_t>(k)];
        if (!(f > 1.0)) continue;
        double weight = amplitudes[static_cast<std::size_t>(k)] + 1.0;
        for (int d = 1; d <= kNeighbourFactors; ++d) {
            double factor = 1.0 / (f + 1.0);
            if (k - d >= 0) {
                const double before = frequencies[static_cast<std::size_t>(k - d)];
                if (before > 1.0) {
                    const double agreement = f / (15.0 * std::fabs(before - f) + f);
                    factor = agreement * agreement;
                }
            }
            weight *= factor;
        }
        weights += weight;
        weighted += weight * f;
    }
    return weights == 0.0 ? fallback : weighted / weights;
}

// What pass 2 needs of the setup beyond a piece: the same in every piece.
struct PassSizes {
    int windowLength;
    int frameStep;
    int rate;
    int lagLimit;  // 3N/4
};

double closeness(double a, double b) { return a < b ? a / b : b / a; }

// Yes when f lies an octave above or below `guide`, as close to it as two
// frequencies count as close.
bool octaveAway(double f, double guide) {
    return closeness(f, 2.0 * guide) > kCloseRatio || closeness(f, 0.5 * guide) > kCloseRatio;
}

// Pass 2: frames without a pitch are tried again over a narrow lag range
// around the period their neighbours suggest, and so are short runs of
// frames an octave away from the frames on both sides when those agree.
class SecondPass {
public:
    SecondPass(SamplePieces& pieces, const PassSizes& sizes, std::vector<double>& frequencies,
               const std::vector<double>& amplitudes, std::int64_t listSize, bool showProgress)
        : pieces_(pieces),
          sizes_(sizes),
          freq_(frequencies),
          amp_(amplitudes),
          size_(listSize),
          showProgress_(showProgress) {}

    void run() {
        double prevA = 0.0;
        double prevB = 0.0;
        for (std::int64_t k = 0; k < size_; ++k) {
            if (at(k) < 1.0) {
                // Backward from the following frames.
                double nextA = k + 1 <= size_ - 1 ? at(k + 1) : 0.0;
                double nextB = k + 2 <= size_ - 1 ? at(k + 2) : 0.0;
                for (std::int64_t j = k;
                     j >= 0 && at(j) < 1.0 && nextA > 0.0 && nextB > 0.0 && closeness(nextA, nextB) > kCloseRatio;
                     --j) {
                    const double result = reestimate(j, sizes_.rate / (2.0 * nextA - nextB));
                    if (result < 1.0) break;
                    nextB = nextA;
                    nextA = result;
                }
                // Forward from the previous frames.
                if (at(k) < 1.0 && prevA > 0.0 && prevB > 0.0 && closeness(prevA, prevB) > kCloseRatio)
                    reestimate(k, sizes_.rate / (2.0 * prevA - prevB));
                // Between neighbours.
                if (at(k) < 1.0) {
                    const double next = k < size_ - 1 ? at(k + 1) : 0.0;
                    if (prevA > 0.0 && next > 0.0 && closeness(next, prevA) > kCloseRatio)
                        reestimate(k, sizes_.rate / ((next + prevA) * 0.5));
                }
            } else if (prevA > 0.0 && octaveAway(at(k), prevA)) {
                keepOctave(k, prevA);
            }
            prevB = prevA;
            prevA = at(k);
        }
    }

private:
    double& at(std::int64_t k) { return freq_[static_cast<std::size_t>(k)]; }

    // Octave continuity: a run of voiced frames from k on, each an octave
    // away from the frame before the run (`before`), no longer than one
    // analysis window (N / Step frames: longer runs are a sound of their
    // own) and followed by a frame that agrees with `before`: each frame of
    // the run that is an octave off the pitch drawn straight between the two
    // is re-estimated near that pitch. It takes the new period only when
    // that repeats the frame nearly as well as its own: continuity settles
    // what the frame leaves open, and a frame whose neighbours are wrong
    // keeps a period that is clearly its own.
    void keepOctave(std::int64_t k, double before) {
        const std::int64_t longest = std::max(1, sizes_.windowLength / sizes_.frameStep);
        std::int64_t end = k;
        while (end < size_ && end - k < longest && at(end) > 0.0 && octaveAway(at(end), before)) ++end;
        const double after = end < size_ ? at(end) : 0.0;
        if (!(after > 0.0) || closeness(after, before) <= kCloseRatio) return;
        const auto run = static_cast<double>(end - k);
        for (std::int64_t j = k; j < end; ++j) {
            const double guide = before + (after - before) * static_cast<double>(j - k + 1) / (run + 1.0);
            if (octaveAway(at(j), guide)) reestimateOctave(j, sizes_.rate / guide);
        }
    }

    // The estimate of frame k over floor(0.9091 G) .. min(ceil(1.1 G), 3N/4).
    double estimateNear(std::int64_t k, double guide) {
        const int lowest = std::max(0, truncateToInt32(std::floor(kCloseRatio * guide)));
        const int highest = std::min(truncateToInt32(std::ceil(1.1 * guide)), sizes_.lagLimit);
        const FramePitchSetup& piece = *pieces_.prepare(pieces_.pieceOf(k));
        return estimateFramePitch(piece, pieces_.scratch(), k * sizes_.frameStep - pieces_.origin(), lowest, highest,
                                  2);
    }

    // Stores the result of a re-estimate of frame k and shows it.
    double store(std::int64_t k, double result) {
        at(k) = result;
        if (showProgress_)
            printErr("pass 2 %d\t%lf\t%lf\t\r", static_cast<int>(k), result, amp_[static_cast<std::size_t>(k)]);
        return result;
    }

    // Re-estimates frame k near the guide period and stores the result.
    double reestimate(std::int64_t k, double guide) { return store(k, estimateNear(k, guide)); }

    // Re-estimates a voiced frame k near the guide period and takes the
    // result when it has a pitch whose period repeats the frame nearly as
    // well as the frame's present one; otherwise the frame keeps its pitch.
    void reestimateOctave(std::int64_t k, double guide) {
        const double present = at(k);
        const double result = estimateNear(k, guide);
        // estimateNear left the piece of frame k in hand.
        const FramePitchSetup& piece = *pieces_.prepare(pieces_.pieceOf(k));
        const std::int64_t position = k * sizes_.frameStep - pieces_.origin();
        FramePitchScratch& scratch = pieces_.scratch();
        const bool better = result >= 1.0 && periodDifference(piece, scratch, position, sizes_.rate / result) <=
                                                 periodDifference(piece, scratch, position, sizes_.rate / present) +
                                                     kContinuityTolerance;
        store(k, better ? result : present);
    }

    SamplePieces& pieces_;
    PassSizes sizes_;
    std::vector<double>& freq_;
    const std::vector<double>& amp_;
    std::int64_t size_;
    bool showProgress_;
};

}  // namespace

AnalysisSize analysisSizeForRate(std::uint32_t rate) {
    if (rate < 15000) return {512, 64};
    if (rate < 30000) return {720, 128};
    if (rate < 60000) return {1024, 256};
    return {2048, 512};
}

std::optional<FrequencyList> analyseFrequencies(const LoadedSample& sample, int windowLength, int frameStep,
                                                int threadCount) {
    return analyseFrequenciesInPieces(sample, windowLength, frameStep, threadCount, kAnalysisPieceFrames);
}

std::optional<FrequencyList> analyseFrequenciesInPieces(const LoadedSample& sample, int windowLength, int frameStep,
                                                        int threadCount, std::int64_t pieceFrames) {
    const WaveInfo& info = sample.info;
    if (sampleTypeOf(info) == SampleType::None) {
        printErr("Pitch analysis: %d bits per sample cannot be analysed.\n", static_cast<int>(info.bitsPerSample));
        return std::nullopt;
    }
    if (info.channels == 0 || info.blockAlign == 0) {
        printErr("Pitch analysis: the sample has %d channels and a block alignment of %d; nothing to analyse.\n",
                 static_cast<int>(info.channels), static_cast<int>(info.blockAlign));
        return std::nullopt;
    }
    if (info.samplesPerSec < kLowestAnalysisRate ||
        info.samplesPerSec > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        printErr("Pitch analysis: a rate of %u Hz cannot be analysed.\n", static_cast<unsigned>(info.samplesPerSec));
        return std::nullopt;
    }
    const int threads = threadCount > 0 ? threadCount : std::min(processorCount(), kMaxAnalysisThreads);
    SamplePieces pieces(sample, windowLength, frameStep, threads, pieceFrames);
    const FramePitchSetup* first = pieces.prepare(0);
    if (first == nullptr) return std::nullopt;
    // The sizes and the rate are the same in every piece.
    const PassSizes sizes{first->windowLength, first->frameStep, first->rate, first->lagLimit()};
    const int minLag = first->minLag;
    const int maxLag = first->maxLag;
    const std::int64_t listSize = pieces.listSize();
    if (listSize >= std::numeric_limits<std::int32_t>::max()) return std::nullopt;

    printErr("N=%d Step=%d\n", windowLength, frameStep);
    printErr("Data Size=%d\n", static_cast<int>(static_cast<std::int32_t>(sample.dataBytes)));
    printErr("Channels=%d\n", static_cast<int>(info.channels));
    printErr("Block Align=%d\n", static_cast<int>(info.blockAlign));
    printErr("Samples per Sec=%d\n", sizes.rate);
    printErr("Bits per sample=%d\n", static_cast<int>(info.bitsPerSample));
    printErr("List Size=%d\n", static_cast<int>(listSize));
    printErr("Frequenz auf    %lfHz %d\n", static_cast<double>(sizes.rate) / maxLag, maxLag);
    printErr("Frequenz bis zu %lfHz %d\n", static_cast<double>(sizes.rate) / minLag, minLag);
    printErr("Threads %d\n", threads);

    const bool showProgress = stderrIsTerminal();
    pieces.settleLoudestLevel();
    std::vector<double> frequencies(static_cast<std::size_t>(listSize) + 1, 0.0);
    std::vector<double> amplitudes(static_cast<std::size_t>(listSize) + 1, 0.0);
    // Pass 1 estimates the frames at positions below the sample's end; when
    // the length is a whole number of steps the last list frame stays 0.
    const std::int64_t estimated = (pieces.frames() + frameStep - 1) / frameStep;
    for (int piece = 0; piece < pieces.count(); ++piece) {
        const FramePitchSetup* setup = pieces.prepare(piece);
        if (setup == nullptr) return std::nullopt;
        const std::int64_t begin = pieces.firstIndex(piece);
        const std::int64_t end = piece + 1 < pieces.count() ? pieces.firstIndex(piece + 1) : listSize;
        runFirstPass(*setup, pieces.origin(), begin, std::min(end, estimated), threads, showProgress, frequencies);
        frameAmplitudes(*setup, pieces.origin(), begin, end, amplitudes);
    }
    const double average = weightedAverage(frequencies, amplitudes, listSize, static_cast<double>(sizes.rate) / maxLag);

    SecondPass(pieces, sizes, frequencies, amplitudes, listSize, showProgress).run();

    const auto last = static_cast<std::size_t>(listSize);
    frequencies[last] = frequencies[last - 1];
    amplitudes[last] = amplitudes[last - 1];
    printErr("freq_avg=%lf\t\t\t\t\n", average);

    FrequencyList list;
    list.frameStep = frameStep;
    list.sampleRate = sizes.rate;
    list.listSize = static_cast<std::int32_t>(listSize);
    list.freqAvg = average;
    list.frequencies = std::move(frequencies);
    list.amplitudes = std::move(amplitudes);
    return list;
}

}  // namespace kestrand
