#include "synth/frame.h"

#include <algorithm>
#include <cmath>

#include "dsp/frame_kernels.h"
#include "dsp/sinc_literal.h"

namespace kestrand {

namespace {

// The first sample of a frame whose middle is at v, truncated toward zero,
// kept where whole-frame indices cannot overflow.
std::int64_t wholeFrameStart(double v, int half) {
    const double start = std::trunc(v - half);
    if (!(start > -4.0e15)) return -4'000'000'000'000'000LL;
    if (start > 4.0e15) return 4'000'000'000'000'000LL;
    return static_cast<std::int64_t>(start);
}

}  // namespace

void FrameWork::prepare(const SynthesisShared& tables) {
    const std::size_t n = static_cast<std::size_t>(tables.frameSize);
    const std::size_t bins = n / 2 + 1;
    for (auto* array : {&voice, &source, &breath, &extra}) array->resize(n);
    for (auto* array : {&powerA, &powerB, &envelopeSums}) array->resize(bins);
    fold.reserve(static_cast<int>(n / 2));
    fftScratch.prepare(tables.fft);
}

void FrameRequest::prepare(const SynthesisShared& tables) {
    const std::size_t n = static_cast<std::size_t>(tables.frameSize);
    frame.resize(n);
}

void processFrame(const SynthesisShared& sh, FrameRequest& request, FrameWork& wk) {
    const int n = sh.frameSize;
    const int half = n / 2;
    const double* window = sh.analysisWindow.data();
    const double w = request.rateRatio;
    const double v = request.inputPosition;
    const double m = request.period;
    const double g = sh.genderFactor;
    const double rate = sh.outputRate;
    const bool literal = sh.literal;

    double o = n / m;
    const double t = n * request.targetFrequency / rate;
    double ratioB = t / o;

    // Voice frame: the direct waveform under the window, zero before the
    // note; its spectrum and its power.
    double* V = wk.voice.data();
    const std::int64_t first = static_cast<std::int64_t>(request.position) - n + 1;
    if (first >= 0 && static_cast<std::size_t>(first) + static_cast<std::size_t>(n) <= sh.directSize) {
        forwardFft(sh.directBuffer + first, window, wk.voice, sh.fft, wk.fftScratch, wk.powerB.data());
    } else {
        for (int i = 0; i < n; ++i) {
            const std::int64_t k = first + i;
            const double x = k >= 0 && static_cast<std::size_t>(k) < sh.directSize ? sh.directBuffer[k] : 0.0;
            V[i] = window[i] * x;
        }
        forwardFft(V, nullptr, wk.voice, sh.fft, wk.fftScratch, wk.powerB.data());
    }

    // Source frame: the recording around v, windowed (and reversed after
    // that for a reversed note); its spectrum and its power.
    WorkArray& S = wk.source;
    const double* source = S.data();
    if (sh.inputRate == static_cast<std::uint32_t>(sh.outputRate)) {
        const std::int64_t b0 = wholeFrameStart(v, half);
        if (literal) {
            for (int i = 0; i < n; ++i) S[static_cast<std::size_t>(i)] = wholeFrame(sh.sample, b0 + i);
        } else if (const double* decoded = decodedFrames(sh.decoded, b0, static_cast<std::size_t>(n))) {
            source = decoded;
        } else {
            readWholeFrames(sh.decoded, b0, S);
        }
    } else {
        if (literal) {
            for (int i = 0; i < n; ++i)
                S[static_cast<std::size_t>(i)] = readLiteral(sh.sample, (i - half) * w + v, sh.sourceWidth.width);
        } else {
            readRun(sh.decoded, v - half * w, w, sh.sourceWidth, S);
        }
        o = n * w / m;
        ratioB = t / o;
    }
    if (sh.reverse) {
        multiplyElements(window, source, S.data(), n);
        std::reverse(S.begin(), S.end());
        forwardFft(S.data(), nullptr, S, sh.fft, wk.fftScratch, wk.powerA.data());
    } else {
        forwardFft(source, window, S, sh.fft, wk.fftScratch, wk.powerA.data());
    }

    // Source envelope, then the voice frame reshaped to it: a gain per bin,
    // 1 where the voice frame's smoothed power is not positive.
    double* E = wk.envelopeSums.data();
    foldedSums(wk.powerA, foldWidth(o, half), 1.0 / o, wk.envelopeSums, wk.fold);
    for (int j = 0; j <= half; ++j) E[j] = std::max(0.0, E[j]);
    const double* T = wk.powerA.data();  // the source power is no longer needed
    foldedSums(wk.powerB, foldWidth(t, half), 1.0 / t, wk.powerA, wk.fold);
    const double* envelope = E;
    if (g != 1.0) {
        // The envelope read at j g: between neighbouring bins, 0 from bin H on.
        double* warped = wk.extra.data();
        for (int j = 0; j <= half; ++j) {
            const double p = j * g;
            if (p < half) {
                const int k = static_cast<int>(p);
                const double f = p - k;
                warped[j] = (1.0 - f) * E[k] + f * E[k + 1];
            } else {
                warped[j] = 0.0;
            }
        }
        envelope = warped;
    }
    scaleBinsByGains(V, n, envelope, T, ratioB, nullptr);

    // Amplitude from the intensity curve at the frame's middle.
    double amplitude = 1.0;
    const std::int32_t envelopeCount = request.envelopeCount;
    if (!sh.envelope.empty()) {
        const double p = static_cast<double>(request.position - half) / sh.envelopeStep;
        const double nFloor = std::floor(p);
        if (nFloor > 0 && nFloor < envelopeCount && nFloor + 1 < static_cast<double>(sh.envelope.size())) {
            const std::size_t k = static_cast<std::size_t>(nFloor);
            const double f = p - nFloor;
            amplitude = (1.0 - f) * sh.envelope[k] + f * sh.envelope[k + 1];
        }
    }

    // Breath: noise shaped like the aperiodic part of the recording.
    WorkArray& Q = wk.breath;
    const bool breath = sh.breathiness > 0.0;
    if (breath) {
        const double step = w / g;
        const double start = -half * w / g + v - m / 2;
        if (literal) {
            for (int i = 0; i < n; ++i) {
                const double y = (i - half) * w / g + v - m / 2;
                S[static_cast<std::size_t>(i)] = readLiteral(sh.sample, y, sh.breathWidth.width) -
                                                 readLiteral(sh.sample, y + m, sh.breathWidth.width);
            }
            multiplyElements(window, S.data(), S.data(), n);
        } else {
            readRun(sh.decoded, start, step, sh.breathWidth, S);
            readRun(sh.decoded, start + m, step, sh.breathWidth, wk.extra);
            windowedDifference(window, S.data(), wk.extra.data(), S.data(), n);
        }
        if (sh.reverse) std::reverse(S.begin(), S.end());
        forwardFft(S.data(), nullptr, S, sh.fft, wk.fftScratch, wk.powerA.data());
        forwardFft(request.noise.data(), window, Q, sh.fft, wk.fftScratch, wk.powerB.data());
        const double J = n * w / (m * g);
        const double r = (2.0 / 3.0) / J;
        const int width = foldWidth(1.5 * J, half);
        foldedSums(wk.powerA, width, r, wk.envelopeSums, wk.fold);
        foldedSums(wk.powerB, width, r, wk.powerA, wk.fold);
        const double* A = wk.envelopeSums.data();
        const double* noisePower = wk.powerA.data();
        scaleBinsByGains(Q.data(), n, A, noisePower, 1.0, sh.tiltTable.data());
    }

    // Back to time: both components are real, so their weighted sum can be
    // transformed back at once.
    WorkArray& out = request.frame;
    const double voiceGain = sh.gains.voice;
    const double noiseGain = sh.gains.noise;
    if (literal) {
        inverseFft(wk.voice, sh.fft, wk.fftScratch);
        if (breath) inverseFft(Q, sh.fft, wk.fftScratch);
        for (int i = 0; i < n; ++i) {
            const double q = breath ? Q[static_cast<std::size_t>(i)] : 0.0;
            out[static_cast<std::size_t>(i)] = (noiseGain * q + voiceGain * V[i]) * window[i] * amplitude;
        }
    } else {
        if (breath) {
            mixElements(noiseGain, Q.data(), voiceGain, V, out.data(), n);
        } else {
            for (int i = 0; i < n; ++i) out[static_cast<std::size_t>(i)] = voiceGain * V[i];
        }
        inverseFft(out, sh.fft, wk.fftScratch, window, amplitude);
    }
}

void addFrameToOutput(const FrameRequest& request, int frameSize, std::span<double> output, std::int32_t outputCount) {
    const int n = frameSize;
    const std::int64_t first = static_cast<std::int64_t>(request.position) - n + 1;
    const std::int64_t limit = std::min<std::int64_t>(outputCount, static_cast<std::int64_t>(output.size()));
    const std::int64_t begin = std::max<std::int64_t>(first, 0);
    const std::int64_t end = std::min<std::int64_t>(first + n, limit);
    if (end > begin) {
        addElements(request.frame.data() + (begin - first), output.data() + begin, static_cast<int>(end - begin));
    }
}

}  // namespace kestrand
