// The worker's frame against a literal, step-by-step evaluation of the same
// formulas (tap-by-tap readers, term-by-term sums, separate inverse
// transforms).
#include "synth/frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "audio/wave_info.h"
#include "dsp/sinc_literal.h"
#include "synth/noise_generator.h"

namespace kestrand {
namespace {

struct Fixture {
    WaveInfo info;
    std::vector<std::uint8_t> bytes;
    std::vector<double> direct;
    std::vector<double> gains;
    SynthesisShared shared;
};

// A voiced 16-bit recording with a 200-frame period, a direct waveform of
// another pitch, and the shared tables for N = 512 at 44.1 kHz out.
void build(Fixture& f, std::uint32_t inputRate, double gender, double breathiness, bool reverse, bool envelope) {
    const int N = 512;
    f.info.bitsPerSample = 16;
    f.info.formatTag = 1;
    f.info.channels = 1;
    f.info.blockAlign = 2;
    f.info.samplesPerSec = inputRate;
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 300.0);
    for (int k = 0; k < 6000; ++k) {
        double v = noise(random);
        for (int h = 1; h < 12; ++h) v += 4000.0 / h * std::sin(2 * std::numbers::pi * h * k / 200.0 + h);
        const auto s = static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
        std::uint8_t b[2];
        std::memcpy(b, &s, 2);
        f.bytes.insert(f.bytes.end(), b, b + 2);
    }
    f.bytes.resize(f.bytes.size() + 4 * N * 2, 0);
    f.direct.resize(4000 + N);
    for (std::size_t j = 0; j < 4000; ++j)
        f.direct[j] = 9000 * std::sin(2 * std::numbers::pi * static_cast<double>(j) / 130.0) + noise(random);

    SynthesisShared& sh = f.shared;
    sh.frameSize = N;
    sh.outputRate = 44100;
    sh.analysisWindow = makeSineWindow(N);
    sh.fft = makeFftPlan(N, FftKind::Fast);
    sh.gains = makeMixGains(N, breathiness, false);
    sh.sample = makeSampleView(f.bytes, sampleTypeOf(f.info), f.info.channels);
    // Only part of the recording is decoded: reads below frame 1100 take the
    // byte path, so frames near it mix both.
    sh.decoded = decodeSample(sh.sample, 1100, 6100);
    sh.inputRate = inputRate;
    const double ratio = static_cast<double>(inputRate) / 44100;
    sh.sourceWidth = makeSincWidth(std::max(1.0, ratio));
    sh.breathWidth = makeSincWidth(std::max(1.0, ratio));
    sh.tiltTable = makeTiltTable(N, 1.0);
    if (envelope) {
        // No gain is 1, so a gain applied where none belongs shows.
        for (int k = 0; k < 40; ++k) f.gains.push_back(std::exp2((k % 7 + 1) * 0.1));
        f.gains.push_back(f.gains.back());
        sh.envelope = f.gains;
        sh.envelopeStep = 100;
    }
    sh.directBuffer = f.direct.data();
    sh.directSize = f.direct.size();
    sh.genderFactor = gender;
    sh.breathiness = breathiness;
    sh.reverse = reverse;
    sh.outputCount = 4000;
}

// A frame with work arrays of its own, as one worker thread holds them.
struct FrameSlot {
    const SynthesisShared* shared = nullptr;
    FrameRequest request;
    FrameWork work;
    std::vector<double> noise;
};

void setFrame(FrameSlot& slot, const Fixture& f, std::int32_t position, double inputPosition) {
    slot.shared = &f.shared;
    slot.request.prepare(f.shared);
    slot.work.prepare(f.shared);
    slot.request.position = position;
    slot.request.rateRatio = static_cast<double>(f.shared.inputRate) / 44100;
    slot.request.inputPosition = inputPosition;
    slot.request.period = 200.0 * f.shared.inputRate / 44100;
    slot.request.targetFrequency = 339.2;
    slot.request.envelopeCount = f.gains.empty() ? 0 : static_cast<std::int32_t>(f.gains.size()) - 1;
    NoiseGenerator random;
    slot.noise.resize(static_cast<std::size_t>(f.shared.frameSize));
    for (double& v : slot.noise) v = random.nextLoud();
    slot.request.noise = slot.noise;
}

double power(const std::vector<double>& d, int n, int k) {
    if (k == 0 || k == n / 2) return d[static_cast<std::size_t>(k)] * d[static_cast<std::size_t>(k)];
    return d[static_cast<std::size_t>(k)] * d[static_cast<std::size_t>(k)] +
           d[static_cast<std::size_t>(n - k)] * d[static_cast<std::size_t>(n - k)];
}
void scale(std::vector<double>& d, int n, int k, double g) {
    d[static_cast<std::size_t>(k)] *= g;
    if (k > 0 && k < n / 2) d[static_cast<std::size_t>(n - k)] *= g;
}

// Steps 1 to 10 of the frame, one formula at a time.
std::vector<double> literalFrame(const FrameSlot& slot) {
    const SynthesisShared& sh = *slot.shared;
    const int N = sh.frameSize, H = N / 2;
    const auto& win = sh.analysisWindow;
    const FftTables fft = makeFftTables(N);
    const double w = slot.request.rateRatio, v = slot.request.inputPosition, m = slot.request.period,
                 g = sh.genderFactor, R = sh.outputRate;
    double o = N / m;
    const double t = N * slot.request.targetFrequency / R;
    double B = t / o;
    std::vector<double> V(N), S(N), Q(N, 0.0), E(H + 1), PS(H + 1), PV(H + 1);
    for (int i = 0; i < N; ++i) {
        const int k = slot.request.position - N + 1 + i;
        V[i] = k < 0 ? 0.0 : win[i] * sh.directBuffer[k];
    }
    realFft(V, fft);
    if (sh.inputRate == static_cast<std::uint32_t>(R)) {
        const auto b0 = static_cast<std::int64_t>(v - H);
        for (int i = 0; i < N; ++i) S[i] = win[i] * (b0 + i < 0 ? 0.0 : decodeFrame(sh.sample, b0 + i));
    } else {
        for (int i = 0; i < N; ++i) S[i] = win[i] * readLiteral(sh.sample, (i - H) * w + v, std::max(1.0, w));
        o = N * w / m;
        B = t / o;
    }
    if (sh.reverse) std::reverse(S.begin(), S.end());
    realFft(S, fft);
    for (int k = 0; k <= H; ++k) PS[k] = power(S, N, k), PV[k] = power(V, N, k);
    for (int j = 0; j <= H; ++j) E[j] = std::max(0.0, foldedSumLiteral(PS, j, static_cast<int>(std::floor(o)), 1 / o));
    for (int j = 0; j <= H; ++j) {
        const double T = foldedSumLiteral(PV, j, static_cast<int>(std::floor(t)), 1 / t);
        if (T > 0) {
            double e;
            if (g == 1) {
                e = E[j];
            } else {
                const double p = j * g;
                const int n = static_cast<int>(std::floor(p));
                const double f = p - n;
                e = n < H ? (1 - f) * E[n] + f * E[n + 1] : 0.0;
            }
            scale(V, N, j, std::sqrt((e / T) * B));
        }
    }
    inverseRealFft(V, fft);
    double a = 1;
    if (!sh.envelope.empty()) {
        const double p = static_cast<double>(slot.request.position - H) / sh.envelopeStep;
        const int n = static_cast<int>(std::floor(p));
        const double f = p - n;
        if (0 < n && n < slot.request.envelopeCount) a = (1 - f) * sh.envelope[n] + f * sh.envelope[n + 1];
    }
    if (sh.breathiness > 0) {
        for (int i = 0; i < N; ++i) Q[i] = win[i] * slot.request.noise[i];
        for (int i = 0; i < N; ++i) {
            const double y = (i - H) * w / g + v - m / 2;
            S[i] = win[i] *
                   (readLiteral(sh.sample, y, std::max(1.0, w)) - readLiteral(sh.sample, y + m, std::max(1.0, w)));
        }
        if (sh.reverse) std::reverse(S.begin(), S.end());
        realFft(S, fft);
        realFft(Q, fft);
        std::vector<double> PQ(H + 1);
        for (int k = 0; k <= H; ++k) PS[k] = power(S, N, k), PQ[k] = power(Q, N, k);
        const double J = N * w / (m * g);
        const double r = (2.0 / 3.0) / J;
        const int L = static_cast<int>(std::floor(1.5 * J));
        for (int j = 0; j <= H; ++j) {
            const double A = foldedSumLiteral(PS, j, L, r), T = foldedSumLiteral(PQ, j, L, r);
            if (T > 0) scale(Q, N, j, std::sqrt(A / T) * sh.tiltTable[j]);
        }
        inverseRealFft(Q, fft);
    }
    std::vector<double> out(N);
    for (int i = 0; i < N; ++i) out[i] = (sh.gains.noise * Q[i] + sh.gains.voice * V[i]) * win[i] * a;
    return out;
}

void expectFramesAgree(std::span<const double> fast, const std::vector<double>& literal) {
    double peak = 0;
    for (const double x : literal) peak = std::max(peak, std::fabs(x));
    ASSERT_GT(peak, 1.0);
    for (std::size_t i = 0; i < fast.size(); ++i) ASSERT_NEAR(fast[i], literal[i], 1e-9 * peak) << i;
}

struct FrameCase {
    const char* name;
    std::uint32_t inputRate;
    double gender;
    double breathiness;
    bool reverse;
    bool envelope;
    std::int32_t position;
};

class ProcessFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ProcessFrame, AgreesWithTheLiteralSteps) {
    const FrameCase c = GetParam();
    Fixture f;
    build(f, c.inputRate, c.gender, c.breathiness, c.reverse, c.envelope);
    FrameSlot slot;
    setFrame(slot, f, c.position, 1234.37);
    const std::vector<double> expected = literalFrame(slot);
    processFrame(*slot.shared, slot.request, slot.work);
    expectFramesAgree(slot.request.frame, expected);
    // The product's own reference mode agrees as well.
    f.shared.literal = true;
    f.shared.fft = makeFftPlan(f.shared.frameSize, FftKind::Literal);
    setFrame(slot, f, c.position, 1234.37);
    processFrame(*slot.shared, slot.request, slot.work);
    expectFramesAgree(slot.request.frame, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcessFrame,
    ::testing::Values(FrameCase{"EqualRatesNoBreath", 44100, 1.0, 0.0, false, false, 2047},
                      FrameCase{"BreathWithOneSharedKernel", 44100, 1.0, 0.5, false, true, 2047},
                      FrameCase{"FirstFrameBeforeSampleZero", 44100, 1.0, 0.5, false, false, 255},
                      // The frame's middle lies in the intensity curve's first step, which has no gain.
                      FrameCase{"MiddleInTheFirstIntensityStep", 44100, 1.0, 0.5, false, true, 300},
                      FrameCase{"SincReadsGenderReverse", 48000, 1.3, 0.8, true, false, 1791},
                      FrameCase{"SlowerInputFormantsDown", 22050, 0.7, 0.3, false, true, 3000},
                      FrameCase{"FramePastTheNotesEnd", 44100, 2.0, 1.0, true, true, 4200}),
    [](const ::testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.name); });

// Power of the finished frame in bins [from, to).
double bandPower(std::vector<double> frame, const FftTables& fft, int from, int to) {
    realFft(frame, fft);
    double sum = 0;
    for (int k = from; k < to; ++k) sum += power(frame, static_cast<int>(frame.size()), k);
    return sum;
}

TEST(ProcessFrameEdges, HighGenderSilencesTheTopOfTheSpectrum) {
    // With g = 2 every bin j with 2 j >= H gets gain 0; what is left up there
    // is only the leakage of the output window.
    double high[2], low[2];
    const double genders[2] = {1.0, 2.0};
    for (int c = 0; c < 2; ++c) {
        Fixture f;
        build(f, 44100, genders[c], 0.0, false, false);
        FrameSlot slot;
        setFrame(slot, f, 2047, 1234.37);
        processFrame(*slot.shared, slot.request, slot.work);
        const FftTables fft = makeFftTables(f.shared.frameSize);
        const std::vector<double> frame(slot.request.frame.begin(), slot.request.frame.end());
        high[c] = bandPower(frame, fft, 150, 256);
        low[c] = bandPower(frame, fft, 2, 100);
    }
    EXPECT_LT(high[1], 1e-3 * high[0]);
    EXPECT_GT(low[1], 1e-2 * low[0]);
}

TEST(ProcessFrameEdges, AddsOnlyInsideTheNote) {
    Fixture f;
    build(f, 44100, 1.0, 0.0, false, false);
    FrameSlot slot;
    setFrame(slot, f, 255, 500.0);
    processFrame(*slot.shared, slot.request, slot.work);
    std::vector<double> output(4000 + 512, 0.0);
    addFrameToOutput(slot.request, 512, output, 4000);
    for (std::size_t k = 0; k < 256; ++k) EXPECT_EQ(output[k], slot.request.frame[k + 256]);
    for (std::size_t k = 256; k < output.size(); ++k) EXPECT_EQ(output[k], 0.0);
    std::fill(output.begin(), output.end(), 0.0);
    setFrame(slot, f, 4200, 500.0);
    processFrame(*slot.shared, slot.request, slot.work);
    addFrameToOutput(slot.request, 512, output, 4000);
    for (std::size_t k = 4000; k < output.size(); ++k) EXPECT_EQ(output[k], 0.0);
    EXPECT_NE(output[3999], 0.0);
}

}  // namespace
}  // namespace kestrand
