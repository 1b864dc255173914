#include "f0/frame_pitch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "f0/difference_function.h"

namespace kestrand {

namespace {

// The frame signal x: entry i is the low-pass reader's value at whole position
// trunc(i - g + position) when that lies inside the sample, else 0.
void fillFrameSignal(const FramePitchSetup& setup, std::int64_t position, double* x) {
    const bool haveSmooth = !setup.smooth.empty();
    for (int i = 0; i < setup.span; ++i) {
        const double where = std::trunc((static_cast<double>(i) - setup.frameOffset) + static_cast<double>(position));
        double value = 0.0;
        if (haveSmooth && where >= 0.0 && where < static_cast<double>(setup.frames))
            value = setup.smooth[static_cast<std::size_t>(where)];
        x[i] = value;
    }
}

// E(tau) of the refinement: the windowed squared difference between the
// sample read half a lag before and half a lag after base + m.
double refinementValue(const FramePitchSetup& setup, FramePitchScratch& scratch, double base, double lag) {
    const double origin = base - lag / 2.0;
    buildReaderKernel(origin, 1.0, scratch.before);
    buildReaderKernel(origin + lag, 1.0, scratch.after);
    const int terms = setup.lagLimit();
    double* first = scratch.readsBefore.data();
    double* second = scratch.readsAfter.data();
    readRunThroughKernel(setup.stored, scratch.before, terms, first);
    readRunThroughKernel(setup.stored, scratch.after, terms, second);
    const double* w = setup.evenSpanWindow.data();
    for (int m = 0; m < terms; ++m) {
        const double d = first[m] - second[m];
        first[m] = d * d * w[m];
    }
    double sum = 0.0;
    for (int m = 0; m < terms; ++m) sum += first[m];
    return sum;
}

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
    setup->waves = std::make_unique<PeriodWaves>(setup->lagLimit() + 1, setup->windowLength);
    return setup;
}

FramePitchScratch::FramePitchScratch(const FramePitchSetup& setup)
    : signal(static_cast<std::size_t>(setup.span) + 8, 0.0),
      reversed(static_cast<std::size_t>(setup.span), 0.0),
      windowed(static_cast<std::size_t>(setup.windowLength), 0.0),
      difference(static_cast<std::size_t>(setup.lagLimit()) + 2, 0.0),
      readsBefore(static_cast<std::size_t>(setup.lagLimit()), 0.0),
      readsAfter(static_cast<std::size_t>(setup.lagLimit()), 0.0) {
    candidates.reserve(static_cast<std::size_t>(setup.lagLimit()) / 2 + 2);
    before.weights.reserve(8);
    after.weights.reserve(8);
}

double refineLag(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position, int lag) {
    const double u = lag;
    const double tolerance = u / 80000.0;
    const double base = static_cast<double>(position + setup.eighth);
    double width = 1.0;
    double centre = u;
    double best = 1e30;
    double choice = centre;
    do {
        const double tried[3] = {centre - width, centre, centre + width};
        for (int k = 0; k < 3; ++k) {
            // Below a whole step the centre keeps the best value so far, which never replaces itself.
            if (k == 1 && width < 1.0) continue;
            const double value = refinementValue(setup, scratch, base, tried[k]);
            if (value < best) {
                choice = tried[k];
                best = value;
            }
        }
        if (choice != centre) {
            if (std::fabs(choice - u) > 1.0) return u;
            centre = choice;
        }
        choice = centre;
        width *= 0.5;
    } while (width > tolerance);
    return centre;
}

double estimateFramePitch(const FramePitchSetup& setup, FramePitchScratch& scratch, std::int64_t position,
                          int lowestLag, int highestLag, int mode) {
    lowestLag = std::max(lowestLag, 0);
    highestLag = std::min(highestLag, setup.lagLimit());
    // A candidate needs two lags on either side of it inside the range.
    if (highestLag < lowestLag + 2) return 0.0;

    double* x = scratch.signal.data();
    fillFrameSignal(setup, position, x);
    double* y = scratch.windowed.data();
    const double* frameWindow = setup.windows.frameWindow.data();
    for (int i = 0; i < setup.windowLength; ++i) y[i] = x[setup.quarter + i] * frameWindow[i];

    double* reversed = scratch.reversed.data();
    for (int i = 0; i < setup.span; ++i) reversed[i] = x[setup.span - 1 - i];
    DifferenceInput input;
    input.signal = x;
    input.reversed = reversed;
    input.span = setup.span;
    input.weights = setup.evenSpanWindow.data();
    input.terms = setup.lagLimit();
    input.origin = setup.eighth + setup.quarter;
    double* d = scratch.difference.data();
    computeDifferenceFunction(input, lowestLag, highestLag, d);

    auto& candidates = scratch.candidates;
    candidates.clear();
    for (int j = lowestLag + 2; j <= highestLag; ++j)
        if (d[j - 2] > d[j - 1] && d[j] > d[j - 1]) candidates.push_back(j - 1);

    const int count = static_cast<int>(candidates.size());
    const bool accepted = mode == 1 ? count >= 1 && (highestLag - lowestLag + 1) / count > lowestLag : count >= 1;
    if (!accepted) return 0.0;

    int chosen = candidates.front();
    double bestScore = -1.0;
    for (const int tau : candidates) {
        const double* wave = setup.waves->wave(tau);
        double re = 0.0;
        double im = 0.0;
        for (int i = 0; i < setup.windowLength; ++i) {
            re += y[i] * wave[2 * i];
            im += y[i] * wave[2 * i + 1];
        }
        const double score = std::sqrt((re * re + im * im) / (d[tau] + 1e-7));
        if (score >= bestScore) {
            bestScore = score;
            chosen = tau;
        }
    }

    const double lag = refineLag(setup, scratch, position, chosen);
    return lag > 0.0 ? setup.rate / lag : 0.0;
}

}  // namespace kestrand
