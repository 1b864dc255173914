#include "synth/worker.h"

#include <algorithm>
#include <cmath>

namespace kestrand {

namespace {

// Power of bin k = 0 .. H in the packed layout.
void powerSpectrum(const std::vector<double>& data, int n, std::vector<double>& power) {
    const int half = n / 2;
    power[0] = data[0] * data[0];
    for (int k = 1; k < half; ++k) {
        const double re = data[static_cast<std::size_t>(k)];
        const double im = data[static_cast<std::size_t>(n - k)];
        power[static_cast<std::size_t>(k)] = re * re + im * im;
    }
    power[static_cast<std::size_t>(half)] = data[static_cast<std::size_t>(half)] * data[static_cast<std::size_t>(half)];
}

void forward(std::vector<double>& data, WorkerSlot& slot) {
    if (slot.shared->literal) {
        realFft(data, slot.shared->fft);
    } else {
        fastRealFft(data, slot.shared->fastFft, slot.fftScratch);
    }
}

void inverse(std::vector<double>& data, WorkerSlot& slot) {
    if (slot.shared->literal) {
        inverseRealFft(data, slot.shared->fft);
    } else {
        fastInverseRealFft(data, slot.shared->fastFft, slot.fftScratch);
    }
}

inline void scaleBin(std::vector<double>& data, int n, int k, double gain) {
    data[static_cast<std::size_t>(k)] *= gain;
    if (k > 0 && k < n / 2) data[static_cast<std::size_t>(n - k)] *= gain;
}

// The first sample of a frame whose middle is at v, truncated toward zero,
// kept where whole-frame indices cannot overflow.
std::int64_t wholeFrameStart(double v, int half) {
    const double start = std::trunc(v - half);
    if (!(start > -4.0e15)) return -4'000'000'000'000'000LL;
    if (start > 4.0e15) return 4'000'000'000'000'000LL;
    return static_cast<std::int64_t>(start);
}

}  // namespace

void WorkerSlot::prepare(const SynthesisShared& tables) {
    shared = &tables;
    const std::size_t n = static_cast<std::size_t>(tables.frameSize);
    const std::size_t bins = n / 2 + 1;
    for (auto* array : {&voice, &source, &breath, &extra, &frame, &noise}) array->assign(n, 0.0);
    for (auto* array : {&powerA, &powerB, &envelopeSums}) array->assign(bins, 0.0);
    fold.reserve(static_cast<int>(n / 2));
    fftScratch.prepare(tables.fastFft);
}

void processFrame(WorkerSlot& slot) {
    const SynthesisShared& sh = *slot.shared;
    slot.state.store(2);
    const int n = sh.frameSize;
    const int half = n / 2;
    const std::vector<double>& window = sh.analysisWindow;
    const double w = slot.rateRatio;
    const double v = slot.inputPosition;
    const double m = slot.period;
    const double g = sh.genderFactor;
    const double rate = sh.outputRate;

    double o = n / m;
    const double t = n * slot.targetFrequency / rate;
    double ratioB = t / o;

    // Voice frame: the direct waveform under the window, zero before the note.
    const std::int64_t first = static_cast<std::int64_t>(slot.position) - n + 1;
    for (int i = 0; i < n; ++i) {
        const std::int64_t k = first + i;
        const double x = k >= 0 && static_cast<std::size_t>(k) < sh.directSize ? sh.directBuffer[k] : 0.0;
        slot.voice[static_cast<std::size_t>(i)] = window[static_cast<std::size_t>(i)] * x;
    }
    forward(slot.voice, slot);

    // Source frame: the recording around v.
    std::vector<double>& S = slot.source;
    if (sh.inputRate == static_cast<std::uint32_t>(sh.outputRate)) {
        const std::int64_t b0 = wholeFrameStart(v, half);
        if (sh.literal) {
            for (int i = 0; i < n; ++i) S[static_cast<std::size_t>(i)] = window[static_cast<std::size_t>(i)] * wholeFrame(sh.sample, b0 + i);
        } else {
            readWholeFrames(sh.decoded, b0, S);
            for (int i = 0; i < n; ++i) S[static_cast<std::size_t>(i)] *= window[static_cast<std::size_t>(i)];
        }
    } else {
        if (sh.literal) {
            for (int i = 0; i < n; ++i)
                S[static_cast<std::size_t>(i)] = readLiteral(sh.sample, (i - half) * w + v, sh.sourceWidth.width);
        } else {
            readRun(sh.decoded, v - half * w, w, sh.sourceWidth, S);
        }
        for (int i = 0; i < n; ++i) S[static_cast<std::size_t>(i)] *= window[static_cast<std::size_t>(i)];
        o = n * w / m;
        ratioB = t / o;
    }
    if (sh.reverse) std::reverse(S.begin(), S.end());
    forward(S, slot);

    powerSpectrum(S, n, slot.powerA);
    powerSpectrum(slot.voice, n, slot.powerB);

    // Source envelope, then the voice frame reshaped to it.
    std::vector<double>& E = slot.envelopeSums;
    foldedSums(slot.powerA, foldWidth(o, half), 1.0 / o, E, slot.fold);
    for (double& e : E) e = std::max(0.0, e);
    std::vector<double>& T = slot.powerA;  // the source power is no longer needed
    foldedSums(slot.powerB, foldWidth(t, half), 1.0 / t, T, slot.fold);
    for (int j = 0; j <= half; ++j) {
        const double smooth = T[static_cast<std::size_t>(j)];
        if (!(smooth > 0.0)) continue;
        double e;
        if (g == 1.0) {
            e = E[static_cast<std::size_t>(j)];
        } else {
            const double p = j * g;
            if (p < half) {
                const int k = static_cast<int>(p);
                const double f = p - k;
                e = (1.0 - f) * E[static_cast<std::size_t>(k)] + f * E[static_cast<std::size_t>(k) + 1];
            } else {
                e = 0.0;
            }
        }
        const double gain = std::sqrt((e / smooth) * ratioB);
        if (std::isfinite(gain)) scaleBin(slot.voice, n, j, gain);
    }

    // Amplitude from the intensity curve at the frame's middle.
    double amplitude = 1.0;
    const std::int32_t envelopeCount = slot.envelopeCount;
    if (!sh.envelope.empty()) {
        const double p = static_cast<double>(slot.position - half) / sh.envelopeStep;
        const double nFloor = std::floor(p);
        if (nFloor > 0 && nFloor < envelopeCount &&
            nFloor + 1 < static_cast<double>(sh.envelope.size())) {
            const std::size_t k = static_cast<std::size_t>(nFloor);
            const double f = p - nFloor;
            amplitude = (1.0 - f) * sh.envelope[k] + f * sh.envelope[k + 1];
        }
    }

    // Breath: noise shaped like the aperiodic part of the recording.
    std::vector<double>& Q = slot.breath;
    const bool breath = sh.breathiness > 0.0;
    if (breath) {
        for (int i = 0; i < n; ++i) Q[static_cast<std::size_t>(i)] = window[static_cast<std::size_t>(i)] * slot.noise[static_cast<std::size_t>(i)];
        const double step = w / g;
        const double start = -half * w / g + v - m / 2;
        if (sh.literal) {
            for (int i = 0; i < n; ++i) {
                const double y = (i - half) * w / g + v - m / 2;
                S[static_cast<std::size_t>(i)] =
                    readLiteral(sh.sample, y, sh.breathWidth.width) - readLiteral(sh.sample, y + m, sh.breathWidth.width);
            }
        } else {
            readRun(sh.decoded, start, step, sh.breathWidth, S);
            readRun(sh.decoded, start + m, step, sh.breathWidth, slot.extra);
            for (int i = 0; i < n; ++i) S[static_cast<std::size_t>(i)] -= slot.extra[static_cast<std::size_t>(i)];
        }
        for (int i = 0; i < n; ++i) S[static_cast<std::size_t>(i)] *= window[static_cast<std::size_t>(i)];
        if (sh.reverse) std::reverse(S.begin(), S.end());
        forward(S, slot);
        forward(Q, slot);
        powerSpectrum(S, n, slot.powerA);
        powerSpectrum(Q, n, slot.powerB);
        const double J = n * w / (m * g);
        const double r = (2.0 / 3.0) / J;
        const int width = foldWidth(1.5 * J, half);
        foldedSums(slot.powerA, width, r, E, slot.fold);
        foldedSums(slot.powerB, width, r, slot.powerA, slot.fold);
        for (int j = 0; j <= half; ++j) {
            const double noisePower = slot.powerA[static_cast<std::size_t>(j)];
            if (!(noisePower > 0.0)) continue;
            const double gain = std::sqrt(E[static_cast<std::size_t>(j)] / noisePower) * sh.tiltTable[static_cast<std::size_t>(j)];
            if (std::isfinite(gain)) scaleBin(Q, n, j, gain);
        }
    }

    // Back to time: both components are real, so their weighted sum can be
    // transformed back at once.
    std::vector<double>& out = slot.frame;
    const double voiceGain = sh.gains.voice;
    const double noiseGain = sh.gains.noise;
    if (sh.literal) {
        inverse(slot.voice, slot);
        if (breath) inverse(Q, slot);
        for (int i = 0; i < n; ++i) {
            const double q = breath ? Q[static_cast<std::size_t>(i)] : 0.0;
            out[static_cast<std::size_t>(i)] = (noiseGain * q + voiceGain * slot.voice[static_cast<std::size_t>(i)]) *
                                               window[static_cast<std::size_t>(i)] * amplitude;
        }
    } else {
        if (breath) {
            for (int i = 0; i < n; ++i)
                out[static_cast<std::size_t>(i)] = noiseGain * Q[static_cast<std::size_t>(i)] + voiceGain * slot.voice[static_cast<std::size_t>(i)];
        } else {
            for (int i = 0; i < n; ++i) out[static_cast<std::size_t>(i)] = voiceGain * slot.voice[static_cast<std::size_t>(i)];
        }
        inverse(out, slot);
        for (int i = 0; i < n; ++i) out[static_cast<std::size_t>(i)] *= window[static_cast<std::size_t>(i)] * amplitude;
    }
    slot.state.store(0);
}

void workerThreadMain(WorkerSlot& slot) {
    for (;;) {
        slot.startEvent.wait();
        if (slot.state.load() == -1) return;
        processFrame(slot);
        slot.startEvent.reset();
        slot.doneEvent.set();
    }
}

void addFrameToOutput(const WorkerSlot& slot, std::span<double> output, std::int32_t outputCount) {
    const int n = slot.shared->frameSize;
    const std::int64_t first = static_cast<std::int64_t>(slot.position) - n + 1;
    const std::int64_t limit = std::min<std::int64_t>(outputCount, static_cast<std::int64_t>(output.size()));
    const std::int64_t begin = std::max<std::int64_t>(first, 0);
    const std::int64_t end = std::min<std::int64_t>(first + n, limit);
    for (std::int64_t k = begin; k < end; ++k) output[static_cast<std::size_t>(k)] += slot.frame[static_cast<std::size_t>(k - first)];
}

}  // namespace kestrand
