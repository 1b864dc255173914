#include "f0/frame_pitch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "f0/difference_function.h"
#include "f0/difference_screen.h"
#include "f0/frame_energy.h"
#include "f0/frame_voicing.h"
#include "f0/period_decision.h"
#include "f0/wide_vectors.h"

namespace kestrand {

namespace {

// The frame signal x: entry i is the low-pass reader's value at whole position
// trunc(i - g + position) when that lies inside the sample, else 0. All
// these positions are multiples of a quarter and exact, so entry i lies at
// floor(x0) + i when x0 = -g + position; trunc and floor differ only for
// positions in (-1, 0), which truncate to 0.
void fillFrameSignal(const FramePitchSetup& setup, std::int64_t position, double* x) {
    const double start = (0.0 - setup.frameOffset) + static_cast<double>(position);
    const double whole = std::floor(start);
    const auto first = static_cast<std::int64_t>(whole);
    // The lowest n = first + i whose position truncates into the sample.
    const std::int64_t lowest = start != whole ? -1 : 0;
    const std::int64_t span = setup.span;
    const std::int64_t end = setup.smooth.empty() ? lowest : setup.frames;
    const std::int64_t begin = std::clamp<std::int64_t>(lowest - first, 0, span);
    const std::int64_t stop = std::clamp<std::int64_t>(end - first, begin, span);
    std::int64_t i = 0;
    for (; i < begin; ++i) x[i] = 0.0;
    if (i < stop && first + i < 0) x[i++] = setup.smooth[0];
    const double* from = setup.smooth.data() + first;
    for (; i + 4 <= stop; i += 4) wide::store(x + i, wide::load(from + i));
    for (; i < stop; ++i) x[i] = from[i];
    for (; i < span; ++i) x[i] = 0.0;
}

// The windowed frame y[i] = x[q + i] x frameWindow[i] and the frame signal
// backwards.
[[gnu::always_inline]] inline void windowAndReverse(const FramePitchSetup& setup, const double* x, double* y,
                                                    double* reversed) {
    const double* window = setup.windows.frameWindow.data();
    const double* from = x + setup.quarter;
    int i = 0;
    for (; i + 4 <= setup.windowLength; i += 4) wide::store(y + i, wide::load(from + i) * wide::load(window + i));
    for (; i < setup.windowLength; ++i) y[i] = from[i] * window[i];
    const int span = setup.span;
    int k = 0;
    for (; k + 4 <= span; k += 4) {
        const wide::Quad v = wide::load(x + (span - 4 - k));
        wide::store(reversed + k, __builtin_shufflevector(v, v, 3, 2, 1, 0));
    }
    for (; k < span; ++k) reversed[k] = x[span - 1 - k];
}

void prepareGeneric(const FramePitchSetup& setup, const double* x, double* y, double* reversed) {
    windowAndReverse(setup, x, y, reversed);
}

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_WIDE_TARGET void prepareWide(const FramePitchSetup& setup, const double* x, double* y, double* reversed) {
    windowAndReverse(setup, x, y, reversed);
}
#endif

}  // namespace

std::unique_ptr<FramePitchSetup> prepareFramePitch(const LoadedSample& sample, int windowLength, int frameStep,
                                                   int threadCount) {
    const WaveInfo& info = sample.info;
    const SampleType type = sampleTypeOf(info);
    if (type == SampleType::None || info.channels == 0 || info.blockAlign == 0) return nullptr;
    if (info.samplesPerSec < kLowestAnalysisRate ||
        info.samplesPerSec > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return nullptr;
    if (windowLength < 16 || windowLength > 65536 || windowLength % 8 != 0 || frameStep < 1) return nullptr;

    auto setup = std::make_unique<FramePitchSetup>();
    const int rate = static_cast<int>(info.samplesPerSec);
    const std::size_t available = std::min<std::size_t>(sample.bytes.size(), sample.dataBytes);
    setup->windowLength = windowLength;
    setup->frameStep = frameStep;
    setup->half = windowLength / 2;
    setup->quarter = windowLength / 4;
    setup->eighth = windowLength / 8;
    setup->span = windowLength + setup->half;
    setup->rate = rate;
    setup->minLag = rate / 900;
    setup->maxLag = std::min(rate / 52, setup->lagLimit());
    setup->frames = static_cast<std::int64_t>(available / info.blockAlign);
    setup->frameOffset = (1.5 * windowLength - 0.5 * frameStep) * 0.5;
    setup->windows = makeAnalysisWindows(windowLength);
    setup->evenSpanWindow.resize(static_cast<std::size_t>(setup->lagLimit()));
    for (int i = 0; i < setup->lagLimit(); ++i)
        setup->evenSpanWindow[static_cast<std::size_t>(i)] = setup->windows.spanWindow[static_cast<std::size_t>(2 * i)];

    // The frame signal is read through a low-pass reader of width rate / 920
    // (plain interpolation for 8-bit samples). Without room for a candidate
    // between the shortest and the longest lag no frame can have a pitch, and
    // the frame signal is not needed.
    const double smoothWidth = type == SampleType::U8 ? 1.0 : static_cast<double>(rate / 920);
    const bool needSmooth = setup->maxLag >= setup->minLag + 2;
    // Reads reach 2 x width around a whole position, and the refinement up to
    // about 1.25 N beyond a frame position and 0.4 N before it.
    const auto widthReach = needSmooth ? static_cast<std::int64_t>(std::ceil(2.0 * smoothWidth)) : 0;
    const std::int64_t padding = 2 * static_cast<std::int64_t>(windowLength) + 2 * frameStep + widthReach + 16;
    setup->stored = decodeChannelZero(std::span<const std::uint8_t>(sample.bytes.data(), available), type,
                                      static_cast<int>(info.channels), setup->frames, padding);
    if (needSmooth) setup->smooth = smoothAtWholePositions(setup->stored, smoothWidth, threadCount);
    setup->waves = sharedPeriodWaves(setup->lagLimit() + 1, setup->windowLength);
    // The level of every list frame, and the loudest: how loud a frame must
    // be to count as voiced with many candidates is measured against it.
    const std::int64_t positions = setup->frames / frameStep + 1;
    setup->levels.resize(static_cast<std::size_t>(positions));
    const ReaderScale scale = readerScale(type);
    windowedSquareSums(setup->stored, scale.scale, scale.offset, setup->frames, -setup->quarter, frameStep, positions,
                       setup->windows.spanWindow.data(), setup->span, setup->levels.data());
    for (double& level : setup->levels) {
        level = std::sqrt(level);
        setup->loudestLevel = std::max(setup->loudestLevel, level);
    }
    return setup;
}

FramePitchScratch::FramePitchScratch(const FramePitchSetup& setup)
    : signal(static_cast<std::size_t>(setup.span) + 8, 0.0),
      reversed(static_cast<std::size_t>(setup.span), 0.0),
      windowed(static_cast<std::size_t>(setup.windowLength), 0.0),
      difference(static_cast<std::size_t>(setup.lagLimit()) + 2, 0.0),
      screen(setup.span, setup.lagLimit(), setup.lagLimit()),
      knownIn(static_cast<std::size_t>(setup.lagLimit()) + 2, 0),
      rising(static_cast<std::size_t>(setup.lagLimit()) + 2, 0),
      fourier(setup.windowLength),
      reads(setup.refinementSpan()) {
    candidates.reserve(static_cast<std::size_t>(setup.lagLimit()) / 2 + 2);
    stepLags.reserve(64);
    stepValues.reserve(64);
}

double LagRefinement::normalisedDifference() const {
    const RefinedDifference& value = strayed ? startValue : best;
    return value.energy > 0.0 ? value.difference / value.energy : 1.0;
}

double periodDifference(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position, double lag) {
    RefinedDifference value;
    scratch.reads.measure(setup.refinementSpan(), static_cast<double>(position + setup.eighth), &lag, 1, true, &value);
    return value.energy > 0.0 ? value.difference / value.energy : 1.0;
}

LagRefinement beginRefinement(int lag) {
    LagRefinement refinement;
    refinement.start = lag;
    refinement.centre = lag;
    refinement.tolerance = lag / 80000.0;
    return refinement;
}

namespace {

// Whether a refinement takes another step before the stop width.
bool stepsOn(const LagRefinement& r, double stopWidth) {
    return !r.finished && !r.strayed && (r.steps == 0 || r.width > std::max(r.tolerance, stopWidth));
}

// The lags one step of a refinement measures: centre - width, the centre
// (only at a whole step; below it keeps the best value so far, which never
// replaces itself) and centre + width. Returns how many.
int stepLags(const LagRefinement& r, double* lags) {
    if (r.width < 1.0) {
        lags[0] = r.centre - r.width;
        lags[1] = r.centre + r.width;
        return 2;
    }
    lags[0] = r.centre - r.width;
    lags[1] = r.centre;
    lags[2] = r.centre + r.width;
    return 3;
}

// One step of a refinement from the values at its stepLags, in that order.
void takeStep(LagRefinement& r, const RefinedDifference* values) {
    double choice = r.centre;
    const double tried[3] = {r.centre - r.width, r.centre, r.centre + r.width};
    int next = 0;
    for (int k = 0; k < 3; ++k) {
        if (k == 1 && r.width < 1.0) continue;
        const RefinedDifference& value = values[next++];
        if (k == 1 && r.steps == 0) r.startValue = value;
        if (value.difference < r.best.difference) {
            choice = tried[k];
            r.best = value;
        }
    }
    if (choice != r.centre) {
        if (std::fabs(choice - r.start) > 1.0) {
            r.strayed = true;
            return;
        }
        r.centre = choice;
    }
    r.width *= 0.5;
    ++r.steps;
    r.finished = r.width <= r.tolerance;
}

}  // namespace

void continueRefinements(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                         std::span<LagRefinement> refinements, double stopWidth) {
    const double base = static_cast<double>(position + setup.eighth);
    std::vector<double>& lags = scratch.stepLags;
    std::vector<RefinedDifference>& values = scratch.stepValues;
    for (;;) {
        lags.clear();
        for (const LagRefinement& r : refinements) {
            if (!stepsOn(r, stopWidth)) continue;
            double tried[3];
            const int count = stepLags(r, tried);
            lags.insert(lags.end(), tried, tried + count);
        }
        if (lags.empty()) return;
        values.resize(lags.size());
        scratch.reads.measure(setup.refinementSpan(), base, lags.data(), static_cast<int>(lags.size()), stopWidth > 0.0,
                              values.data());
        std::size_t next = 0;
        for (LagRefinement& r : refinements) {
            if (!stepsOn(r, stopWidth)) continue;
            double tried[3];
            const int count = stepLags(r, tried);
            takeStep(r, values.data() + next);
            next += static_cast<std::size_t>(count);
        }
    }
}

void continueRefinement(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                        LagRefinement& refinement, double stopWidth) {
    continueRefinements(setup, scratch, position, std::span<LagRefinement>(&refinement, 1), stopWidth);
}

double refineLag(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position, int lag) {
    LagRefinement refinement = beginRefinement(lag);
    continueRefinement(setup, scratch, position, refinement, 0.0);
    return refinement.lag();
}

namespace {

DifferenceInput differenceInput(const FramePitchSetup& setup, const FramePitchScratch& scratch) {
    DifferenceInput input;
    input.signal = scratch.signal.data();
    input.reversed = scratch.reversed.data();
    input.span = setup.span;
    input.weights = setup.evenSpanWindow.data();
    input.terms = setup.lagLimit();
    input.origin = setup.eighth + setup.quarter;
    return input;
}

}  // namespace

void exactDifferences(const FramePitchSetup& setup, FramePitchScratch& scratch, std::span<const int> lags) {
    std::vector<int>& wanted = scratch.pending;
    wanted.clear();
    for (const int lag : lags) {
        int& known = scratch.knownIn[static_cast<std::size_t>(lag)];
        if (known == scratch.frame) continue;
        known = scratch.frame;
        wanted.push_back(lag);
    }
    if (wanted.empty()) return;
    std::vector<double>& values = scratch.pendingValues;
    values.resize(wanted.size());
    differencesAt(differenceInput(setup, scratch), wanted.data(), static_cast<int>(wanted.size()), values.data());
    for (std::size_t k = 0; k < wanted.size(); ++k) scratch.difference[static_cast<std::size_t>(wanted[k])] = values[k];
}

void wholeLagDifferences(const FramePitchSetup& setup, FramePitchScratch& scratch, std::span<const int> lags,
                         int lowestLag, int highestLag, double* out) {
    // The exact values that can be the least of a lag's and its
    // neighbours': where the screen proves one of them below the others,
    // only that one.
    std::vector<int>& inRange = scratch.order;
    std::vector<int>& wanted = scratch.unsettled;
    inRange.clear();
    wanted.clear();
    for (const int lag : lags) {
        if (lag < lowestLag || lag > highestLag) continue;
        inRange.push_back(lag);
        const int from = std::max(lag - 1, lowestLag);
        const int to = std::min(lag + 1, highestLag);
        int least = -1;
        if (scratch.screened) {
            for (int k = from; k <= to && least < 0; ++k) {
                bool below = true;
                for (int o = from; o <= to; ++o)
                    if (o != k && !scratch.screen.above(o, k)) below = false;
                if (below) least = k;
            }
        }
        if (least >= 0) {
            wanted.push_back(least);
        } else {
            for (int k = from; k <= to; ++k) wanted.push_back(k);
        }
    }
    exactDifferences(setup, scratch, wanted);
    std::vector<double>& energies = scratch.values;
    energies.resize(inRange.size());
    differenceEnergies(differenceInput(setup, scratch), inRange.data(), static_cast<int>(inRange.size()),
                       energies.data());

    const double* d = scratch.difference.data();
    const std::vector<int>& known = scratch.knownIn;
    std::size_t next = 0;
    for (std::size_t n = 0; n < lags.size(); ++n) {
        const int lag = lags[n];
        if (lag < lowestLag || lag > highestLag) {
            out[n] = 2.0;
            continue;
        }
        // The least of the three in the order lag, lag - 1, lag + 1; a value
        // left unknown is proven larger than one that is known.
        bool have = known[static_cast<std::size_t>(lag)] == scratch.frame;
        double smallest = d[lag];
        for (const int k : {lag - 1, lag + 1}) {
            if (k < lowestLag || k > highestLag || known[static_cast<std::size_t>(k)] != scratch.frame) continue;
            smallest = have ? std::min(smallest, d[k]) : d[k];
            have = true;
        }
        const double energy = energies[next++];
        out[n] = energy > 0.0 ? smallest / energy : 1.0;
    }
}

double wholeLagDifference(const FramePitchSetup& setup, FramePitchScratch& scratch, int lag, int lowestLag,
                          int highestLag) {
    double value = 2.0;
    wholeLagDifferences(setup, scratch, std::span<const int>(&lag, 1), lowestLag, highestLag, &value);
    return value;
}

namespace {

// Ranges of fewer lags are computed exactly: the screen would save little.
constexpr int kScreenedLags = 64;

// Marks every lag of lowest .. highest as known in `difference`.
void knowAll(FramePitchScratch& scratch, int lowest, int highest) {
    for (int j = lowest; j <= highest; ++j) scratch.knownIn[static_cast<std::size_t>(j)] = scratch.frame;
}

}  // namespace

int findCandidates(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position, int lowestLag,
                   int highestLag) {
    auto& candidates = scratch.candidates;
    candidates.clear();
    ++scratch.frame;
    scratch.screened = false;
    lowestLag = std::max(lowestLag, 0);
    highestLag = std::min(highestLag, setup.lagLimit());
    // A candidate needs two lags on either side of it inside the range.
    if (highestLag < lowestLag + 2) return 0;

    double* x = scratch.signal.data();
    fillFrameSignal(setup, position, x);
#ifdef KESTRAND_F0_WIDE
    if (wideVectorPath())
        prepareWide(setup, x, scratch.windowed.data(), scratch.reversed.data());
    else
#endif
        prepareGeneric(setup, x, scratch.windowed.data(), scratch.reversed.data());
    double* d = scratch.difference.data();
    const DifferenceInput input = differenceInput(setup, scratch);
    const ScreenResult screened = highestLag - lowestLag + 1 >= kScreenedLags
                                      ? screenDifferences(input, lowestLag, highestLag, scratch.screen)
                                      : ScreenResult::NotScreened;
    scratch.screened = screened == ScreenResult::Screened;
    if (screened == ScreenResult::NotScreened) {
        computeDifferenceFunction(input, lowestLag, highestLag, d);
        knowAll(scratch, lowestLag, highestLag);
        for (int j = lowestLag + 2; j <= highestLag; ++j)
            if (d[j - 2] > d[j - 1] && d[j] > d[j - 1]) candidates.push_back(j - 1);
        return static_cast<int>(candidates.size());
    }
    if (screened == ScreenResult::Silent) {
        // Every term is 0: no lag is a strict local minimum.
        std::fill(d + lowestLag, d + highestLag + 1, 0.0);
        knowAll(scratch, lowestLag, highestLag);
        return 0;
    }

    // The sign of D[j] - D[j - 1] for every j: from the screen where its
    // bounds settle it, else (2 marks that) from the exact values.
    const DifferenceScreen& screen = scratch.screen;
    signed char* rising = scratch.rising.data();
    std::vector<int>& unsettled = scratch.unsettled;
    unsettled.clear();
    for (int j = lowestLag + 1; j <= highestLag; ++j) {
        rising[j] = static_cast<signed char>(screen.rise(j));
        if (rising[j] == 2) {
            unsettled.push_back(j - 1);
            unsettled.push_back(j);
        }
    }
    if (!unsettled.empty()) {
        exactDifferences(setup, scratch, unsettled);
        for (int j = lowestLag + 1; j <= highestLag; ++j)
            if (rising[j] == 2) rising[j] = d[j] > d[j - 1] ? 1 : d[j] < d[j - 1] ? -1 : 0;
    }
    for (int j = lowestLag + 2; j <= highestLag; ++j)
        if (rising[j - 1] < 0 && rising[j] > 0) candidates.push_back(j - 1);
    return static_cast<int>(candidates.size());
}

namespace {

// The Fourier sums Re and Im of the windowed frame at two periods: (Re, Im)
// of the first in lanes 0 and 1, of the second in lanes 2 and 3, each
// summed in order of i.
[[gnu::always_inline]] inline wide::Quad twoFourierSums(const double* y, const double* first, const double* second,
                                                        int length) {
    using Pair = double __attribute__((vector_size(16)));
    wide::Quad sum = {0.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < length; ++i) {
        Pair a;
        Pair b;
        std::memcpy(&a, first + 2 * i, sizeof a);
        std::memcpy(&b, second + 2 * i, sizeof b);
        sum += wide::splat(y[i]) * __builtin_shufflevector(a, b, 0, 1, 2, 3);
    }
    return sum;
}

void fourierGeneric(const double* y, const double* first, const double* second, int length, double* out) {
    wide::store(out, twoFourierSums(y, first, second, length));
}

#ifdef KESTRAND_F0_WIDE
KESTRAND_F0_WIDE_TARGET void fourierWide(const double* y, const double* first, const double* second, int length,
                                         double* out) {
    wide::store(out, twoFourierSums(y, first, second, length));
}
#endif

// The scores of the candidate periods a and b (the same period twice
// serves for one): the Fourier magnitude of the windowed frame over root
// difference, sqrt((Re^2 + Im^2) / (D[tau] + 1e-7)).
void candidateScores(const FramePitchSetup& setup, const double* y, const double* d, int a, int b, double* scores) {
    double sums[4];
#ifdef KESTRAND_F0_WIDE
    if (wideVectorPath())
        fourierWide(y, setup.waves->wave(a), setup.waves->wave(b), setup.windowLength, sums);
    else
#endif
        fourierGeneric(y, setup.waves->wave(a), setup.waves->wave(b), setup.windowLength, sums);
    scores[0] = std::sqrt((sums[0] * sums[0] + sums[1] * sums[1]) / (d[a] + 1e-7));
    scores[1] = std::sqrt((sums[2] * sums[2] + sums[3] * sums[3]) / (d[b] + 1e-7));
}

}  // namespace

int scoreCandidates(const FramePitchSetup& setup, FramePitchScratch& scratch) {
    const double* y = scratch.windowed.data();
    const double* d = scratch.difference.data();
    const std::vector<int>& candidates = scratch.candidates;
    const auto count = static_cast<int>(candidates.size());
    const auto at = [](int k) { return static_cast<std::size_t>(k); };
    auto known = [&](int tau) { return scratch.knownIn[at(tau)] == scratch.frame; };
    // |Re + i Im| is at most Y, the sum of |y[i]|, so a candidate's score is
    // at most Y over the root of (a number at most its difference + 1e-7);
    // the factors cover the rounding of both, which is below 1e-12 relative.
    double magnitude = 0.0;
    for (int i = 0; i < setup.windowLength; ++i) magnitude += std::fabs(y[i]);
    magnitude *= 1.0 + 1e-9;
    std::vector<double>& bound = scratch.values;
    bound.resize(at(count));
    bool ordered = std::isfinite(magnitude);
    for (int k = 0; k < count; ++k) {
        const int tau = candidates[at(k)];
        const double lower = known(tau) ? d[tau] : scratch.screen.lowerDifference(tau);
        bound[at(k)] = magnitude / std::sqrt(lower + 1e-7) * (1.0 + 1e-9);
        ordered = ordered && std::isfinite(bound[at(k)]);
    }
    std::vector<int>& order = scratch.order;
    order.resize(at(count));
    for (int k = 0; k < count; ++k) order[at(k)] = k;
    if (ordered)
        std::stable_sort(order.begin(), order.end(), [&](int p, int q) { return bound[at(p)] > bound[at(q)]; });

    // The choice among `contenders` (indices into the candidates, in any
    // order) from their exact scores: the greatest score wins, the later
    // candidate on a tie; a score that is not a number never wins, and
    // without any the first candidate stands.
    auto exactChoice = [&](const std::vector<int>& contenders) {
        int chosen = -1;
        double bestScore = -1.0;
        for (std::size_t n = 0; n < contenders.size(); n += 2) {
            const int first = contenders[n];
            const int second = n + 1 < contenders.size() ? contenders[n + 1] : first;
            const int lags[2] = {candidates[at(first)], candidates[at(second)]};
            exactDifferences(setup, scratch, std::span<const int>(lags, 2));
            double scores[2];
            candidateScores(setup, y, d, lags[0], lags[1], scores);
            for (int m = 0; m < (second != first ? 2 : 1); ++m) {
                const int index = m == 0 ? first : second;
                if (scores[m] > bestScore || (scores[m] == bestScore && index > chosen)) {
                    bestScore = scores[m];
                    chosen = index;
                }
            }
        }
        return candidates[at(chosen < 0 ? 0 : chosen)];
    };
    prepareFourierScreen(y, setup.windowLength, magnitude, scratch.fourier);
    if (!ordered || !scratch.fourier.usable) return exactChoice(order);

    // Candidates in order of falling bound, two at a time, each with an
    // interval that holds its exact score: the single-precision Fourier
    // sums within their error, the difference between the screen's bounds.
    // Once a bound falls below the best lower end so far, no later
    // candidate can win.
    const FourierScreen& fourier = scratch.fourier;
    std::vector<double>& low = scratch.scoreLow;
    std::vector<double>& high = scratch.scoreHigh;
    low.assign(at(count), 0.0);
    high.assign(at(count), 0.0);
    auto interval = [&](int k, double re, double im) {
        const int tau = candidates[at(k)];
        const double reLow = std::max(0.0, std::fabs(re) - fourier.error);
        const double imLow = std::max(0.0, std::fabs(im) - fourier.error);
        const double reHigh = std::fabs(re) + fourier.error;
        const double imHigh = std::fabs(im) + fourier.error;
        const double dLow = known(tau) ? d[tau] : scratch.screen.lowerDifference(tau);
        const double dHigh = known(tau) ? d[tau] : scratch.screen.upperDifference(tau);
        low[at(k)] = std::sqrt((reLow * reLow + imLow * imLow) / (dHigh + 1e-7)) * (1.0 - 1e-9);
        high[at(k)] = std::sqrt((reHigh * reHigh + imHigh * imHigh) / (dLow + 1e-7)) * (1.0 + 1e-9);
    };
    double bestLow = -1.0;
    std::size_t taken = 0;
    while (taken < order.size()) {
        const int first = order[taken];
        if (bound[at(first)] < bestLow) break;
        int second = first;
        if (taken + 1 < order.size() && !(bound[at(order[taken + 1])] < bestLow)) second = order[taken + 1];
        double sums[4];
        fourierEstimates(fourier, *setup.waves, candidates[at(first)], candidates[at(second)], setup.windowLength,
                         sums);
        interval(first, sums[0], sums[1]);
        interval(second, sums[2], sums[3]);
        bestLow = std::max({bestLow, low[at(first)], low[at(second)]});
        taken += second != first ? 2 : 1;
    }
    // Only candidates whose interval reaches the best lower end can win;
    // when that is one, it wins, else their exact scores decide.
    std::vector<int>& contenders = scratch.unsettled;
    contenders.clear();
    for (std::size_t n = 0; n < taken; ++n)
        if (!(high[at(order[n])] < bestLow)) contenders.push_back(order[n]);
    if (contenders.size() == 1) return candidates[at(contenders[0])];
    return exactChoice(contenders);
}

double estimateFramePitch(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                          int lowestLag, int highestLag, int mode) {
    const int count = findCandidates(setup, scratch, position, lowestLag, highestLag);
    if (count == 0) return 0.0;
    lowestLag = std::max(lowestLag, 0);
    highestLag = std::min(highestLag, setup.lagLimit());
    // Many candidates mark noise, unless the frame is loud and its period
    // repeats clearly (a low voice has many minima between its periods).
    const bool fewCandidates = mode != 1 || hasFewCandidates(count, lowestLag, highestLag);
    // Quiet frames keep the score's choice: what little repeats in them
    // (room noise, a breath) says nothing about the voice's period.
    const bool loud = isLoudFrame(frameLevel(setup, position), setup.loudestLevel);
    if (!fewCandidates && !loud) return 0.0;
    const int chosen = scoreCandidates(setup, scratch);
    const PeriodChoice period = decidePeriod(setup, scratch, position, chosen, lowestLag, highestLag, loud);
    if (!fewCandidates && !(isClearlyPeriodic(period.difference) && isClearlyPeriodic(period.chosenDifference)))
        return 0.0;
    return period.lag > 0.0 ? setup.rate / period.lag : 0.0;
}

}  // namespace kestrand
