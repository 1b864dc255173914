// The analysis' fast paths against their literal twins: the single-precision
// screens (their bounds hold, and what they settle is what the exact values
// give), the exact values computed on demand, the refinement's shared reads
// and sums of several lags at once, and the frame energies.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dsp/sinc_literal.h"
#include "dsp/window_tables.h"
#include "f0/difference_function.h"
#include "f0/difference_screen.h"
#include "f0/fourier_screen.h"
#include "f0/frame_energy.h"
#include "f0/frame_pitch.h"
#include "f0/period_waves.h"
#include "f0/pitch_oracle.h"
#include "f0/refinement_reads.h"
#include "support/audio_images.h"
#include "support/test_files.h"
#include "support/test_signals.h"

namespace kestrand {
namespace {

// Frame signals of `span` samples that the screen must survive: a voiced
// tone, one dying into a faint noise floor, digital silence around a burst,
// a wide dynamic range, and tiny and huge scales.
std::vector<std::pair<std::string, std::vector<double>>> frameSignals(int span) {
    std::vector<std::pair<std::string, std::vector<double>>> signals;
    auto add = [&](const std::string& name, auto value) {
        std::vector<double> x(static_cast<std::size_t>(span));
        for (int i = 0; i < span; ++i) x[static_cast<std::size_t>(i)] = value(i);
        signals.emplace_back(name, x);
    };
    const std::vector<double> noise = test::noiseSignal(44100, span, 1.0, 0.0, 7);
    add("tone", [](int i) { return std::round(8000.0 * std::sin(0.031 * i) + 2000.0 * std::sin(0.093 * i)); });
    add("dying",
        [&](int i) { return 9000.0 * std::sin(0.047 * i) * std::exp(-i / 60.0) + noise[static_cast<std::size_t>(i)]; });
    add("burst",
        [&](int i) { return i > span / 3 && i < span / 2 ? 5000.0 * noise[static_cast<std::size_t>(i)] : 0.0; });
    add("range", [&](int i) { return i % 97 == 0 ? 3e4 : 1e-3 * noise[static_cast<std::size_t>(i)]; });
    add("tiny", [](int i) { return 1e-50 * std::sin(0.05 * i); });
    add("huge", [](int i) { return 1e50 * std::cos(0.02 * i); });
    return signals;
}

struct Frame {
    std::vector<double> x;
    std::vector<double> reversed;
    std::vector<double> weights;
    DifferenceInput input;
};

Frame frameOf(const std::vector<double>& signal, int N) {
    Frame frame;
    const int span = N + N / 2;
    frame.x = signal;
    frame.x.resize(static_cast<std::size_t>(span) + 8, 0.0);
    frame.reversed.assign(frame.x.rbegin() + 8, frame.x.rend());
    const AnalysisWindows windows = makeAnalysisWindows(N);
    for (int i = 0; i < 3 * N / 4; ++i) frame.weights.push_back(windows.spanWindow[static_cast<std::size_t>(2 * i)]);
    frame.input = {frame.x.data(), frame.reversed.data(), span, frame.weights.data(), 3 * N / 4, N / 8 + N / 4};
    return frame;
}

TEST(DifferenceScreen, BoundsHoldAndSettledComparisonsAreTheExactOnes) {
    for (const int N : {1024, 720, 2048}) {
        const int span = N + N / 2;
        const int highest = 3 * N / 4;
        for (const auto& [name, signal] : frameSignals(span)) {
            const std::string where = name + " N=" + std::to_string(N);
            const Frame frame = frameOf(signal, N);
            DifferenceScreen screen(span, highest, highest);
            ASSERT_EQ(screenDifferences(frame.input, 3, highest, screen), ScreenResult::Screened) << where;
            std::vector<double> d(static_cast<std::size_t>(highest) + 2);
            computeDifferenceFunction(frame.input, 3, highest, d.data());
            for (int j = 3; j <= highest; ++j) {
                const double exact = d[static_cast<std::size_t>(j)];
                ASSERT_LE(std::fabs(screen.values[static_cast<std::size_t>(j)] - screen.scale * exact),
                          screen.bounds[static_cast<std::size_t>(j)])
                    << where << " lag " << j;
                ASSERT_LE(screen.lowerDifference(j), exact) << where << " lag " << j;
                ASSERT_GE(screen.upperDifference(j), exact) << where << " lag " << j;
                if (j == 3) continue;
                const double before = d[static_cast<std::size_t>(j - 1)];
                const int rise = screen.rise(j);
                if (rise != 2) {
                    ASSERT_EQ(rise, exact > before ? 1 : exact < before ? -1 : 0) << where << " lag " << j;
                }
            }
        }
    }
    // Silence, samples that are not finite or too small to scale.
    const Frame silent = frameOf(std::vector<double>(1536, 0.0), 1024);
    DifferenceScreen screen(1536, 768, 768);
    EXPECT_EQ(screenDifferences(silent.input, 49, 768, screen), ScreenResult::Silent);
    std::vector<double> odd(1536, 1.0);
    odd[700] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(screenDifferences(frameOf(odd, 1024).input, 49, 768, screen), ScreenResult::NotScreened);
    odd[700] = 1e-250;
    std::fill(odd.begin(), odd.end(), 1e-250);
    EXPECT_EQ(screenDifferences(frameOf(odd, 1024).input, 49, 768, screen), ScreenResult::NotScreened);
}

// Samples whose frames reach the screen's hard cases: a tone that dies into a
// faint noise floor and then digital silence, quiet noise, and a voice.
std::vector<std::pair<std::string, LoadedSample>> estimateSamples() {
    std::vector<double> dying(30000, 0.0);
    const std::vector<double> floor = test::noiseSignal(44100, 30000, 2.0, 3000.0, 3);
    for (int n = 0; n < 20000; ++n)
        dying[static_cast<std::size_t>(n)] =
            12000.0 * std::sin(0.0285 * n) * std::exp(-n / 4000.0) + floor[static_cast<std::size_t>(n)];
    return {{"dying tone", test::sampleOf(dying, 44100)},
            {"quiet noise", test::sampleOf(test::noiseSignal(44100, 20000, 30.0, 0.0, 5), 44100)},
            {"ka.wav", test::loadVoiceWave("ka.wav")}};
}

// The literal choice among the candidates: the greatest score, the later on a tie.
int literalScoreChoice(const FramePitchSetup& setup, const FramePitchScratch& scratch, const std::vector<double>& d) {
    int chosen = scratch.candidates.front();
    double best = -1.0;
    for (const int tau : scratch.candidates) {
        const double* wave = setup.waves->wave(tau);
        double re = 0.0;
        double im = 0.0;
        for (int i = 0; i < setup.windowLength; ++i) {
            re += scratch.windowed[static_cast<std::size_t>(i)] * wave[2 * i];
            im += scratch.windowed[static_cast<std::size_t>(i)] * wave[2 * i + 1];
        }
        const double score = std::sqrt((re * re + im * im) / (d[static_cast<std::size_t>(tau)] + 1e-7));
        if (score >= best) {
            best = score;
            chosen = tau;
        }
    }
    return chosen;
}

TEST(FramePitchFastPaths, CandidatesScoresAndCoarseDifferencesAreTheExactOnes) {
    for (const auto& [name, sample] : estimateSamples()) {
        const auto setup = prepareFramePitch(sample, 1024, 256, 1);
        ASSERT_TRUE(setup);
        FramePitchScratch scratch(*setup);
        const int lo = setup->minLag;
        const int hi = setup->maxLag;
        DifferenceInput input{scratch.signal.data(),        scratch.reversed.data(), setup->span,
                              setup->evenSpanWindow.data(), setup->lagLimit(),       setup->eighth + setup->quarter};
        for (std::int64_t p = 0; p < setup->frames; p += 3 * 256) {
            const std::string where = name + " at " + std::to_string(p);
            // The candidates and the choice, the screen deciding all it can.
            const int count = findCandidates(*setup, scratch, p, lo, hi);
            std::vector<double> d(static_cast<std::size_t>(hi) + 2);
            computeDifferenceFunction(input, lo, hi, d.data());
            std::vector<int> literal;
            for (int j = lo + 2; j <= hi; ++j)
                if (d[j - 2] > d[j - 1] && d[j] > d[j - 1]) literal.push_back(j - 1);
            ASSERT_EQ(scratch.candidates, literal) << where;
            if (count > 0) {
                ASSERT_EQ(scoreCandidates(*setup, scratch), literalScoreChoice(*setup, scratch, d)) << where;
            }

            // The coarse differences of a fresh frame, then every exact value.
            findCandidates(*setup, scratch, p, lo, hi);
            std::vector<int> lags;
            for (int lag = lo - 1; lag <= hi + 1; lag += 7) lags.push_back(lag);
            std::vector<double> coarse(lags.size());
            wholeLagDifferences(*setup, scratch, lags, lo, hi, coarse.data());
            for (std::size_t n = 0; n < lags.size(); ++n) {
                const int lag = lags[n];
                double expected = 2.0;
                if (lag >= lo && lag <= hi) {
                    double smallest = d[lag];
                    if (lag - 1 >= lo) smallest = std::min(smallest, d[lag - 1]);
                    if (lag + 1 <= hi) smallest = std::min(smallest, d[lag + 1]);
                    const double energy = differenceEnergy(input, lag);
                    expected = energy > 0.0 ? smallest / energy : 1.0;
                }
                ASSERT_EQ(coarse[n], expected) << where << " lag " << lag;
            }
            std::vector<int> all;
            for (int j = lo; j <= hi; ++j) all.push_back(j);
            exactDifferences(*setup, scratch, all);
            for (int j = lo; j <= hi; ++j) ASSERT_EQ(scratch.difference[j], d[j]) << where << " lag " << j;
        }
    }
}

TEST(FourierScreen, RotatedTablesAndSinglePrecisionSumsLieWithinTheirBounds) {
    for (const int N : {1024, 2048}) {
        const PeriodWaves waves(3 * N / 4 + 1, N);
        for (int tau = 1; tau <= 3 * N / 4 + 1; tau += N == 1024 ? 1 : 37) {
            const double* exact = waves.wave(tau);
            const float* rotated = waves.floatWave(tau);
            for (int i = 0; i < N; ++i) {
                ASSERT_LE(std::fabs(rotated[i] - exact[2 * i]), kFloatWaveError) << tau << " " << i;
                ASSERT_LE(std::fabs(rotated[N + i] - exact[2 * i + 1]), kFloatWaveError) << tau << " " << i;
            }
        }
        const std::vector<double> voice = test::glottalVoice(110, test::Vowel::A, 44100, N, 3).samples;
        const std::vector<double> noise = test::noiseSignal(44100, N, 1e-3, 0.0, 9);
        for (const std::vector<double>* y : {&voice, &noise}) {
            double magnitude = 0.0;
            for (const double v : *y) magnitude += std::fabs(v);
            FourierScreen screen(N);
            prepareFourierScreen(y->data(), N, magnitude * (1.0 + 1e-9), screen);
            ASSERT_TRUE(screen.usable);
            for (int tau = 2; tau <= 3 * N / 4; tau += 5) {
                double estimate[4];
                fourierEstimates(screen, waves, tau, tau + 1, N, estimate);
                for (int k = 0; k < 2; ++k) {
                    const double* wave = waves.wave(tau + k);
                    double re = 0.0;
                    double im = 0.0;
                    for (int i = 0; i < N; ++i) {
                        re += (*y)[static_cast<std::size_t>(i)] * wave[2 * i];
                        im += (*y)[static_cast<std::size_t>(i)] * wave[2 * i + 1];
                    }
                    ASSERT_LE(std::fabs(estimate[2 * k] - re), screen.error) << tau + k;
                    ASSERT_LE(std::fabs(estimate[2 * k + 1] - im), screen.error) << tau + k;
                }
            }
        }
    }
}

TEST(RefinementReads, SeveralLagsAtOnceEqualTheReadByReadSums) {
    const std::vector<double> signal = test::glottalVoice(130, test::Vowel::O, 44100, 12000, 4).samples;
    for (const int bits : {16, 8, 64}) {
        LoadedSample sample = test::toneSample(0.0, 44100, bits, 12000, 0.0, bits == 64 ? 3 : 1);
        for (std::size_t n = 0; n < signal.size(); ++n) {
            std::uint8_t* out = sample.bytes.data() + n * static_cast<std::size_t>(bits / 8);
            const double v = signal[n] * 1.5;
            if (bits == 16) {
                const auto s = static_cast<std::int16_t>(std::lround(v));
                std::memcpy(out, &s, 2);
            } else if (bits == 8) {
                out[0] = static_cast<std::uint8_t>(std::lround(v / 256.0 + 127.5));
            } else {
                const double f = v / 32768.0;
                std::memcpy(out, &f, 8);
            }
        }
        const auto setup = prepareFramePitch(sample, 1024, 256, 1);
        ASSERT_TRUE(setup);
        const RefinementSpan span = setup->refinementSpan();
        RefinementReads reads(span);
        const std::span<const std::uint8_t> data(sample.bytes.data(), sample.dataBytes);
        const auto read = [&](double position) {
            return bits == 16  ? readFractionalS16(position, data, 1.0, 1)
                   : bits == 8 ? readFractionalU8(position, data, 1.0, 1)
                               : readFractionalF64(position, data, 1.0, 1);
        };
        const std::vector<std::vector<double>> batches = {
            {200.0},
            {199.0, 200.0, 201.0},
            {199.5, 200.5, 99.0, 100.0, 101.0, 300.0, 301.0},
            {150.25, 150.75, 151.125, 149.875, 0.5, 770.5, 1.0, 45.0, 769.0},
            {200.001953125, 199.998046875}};
        for (const std::int64_t position : {std::int64_t{0}, std::int64_t{2560}, std::int64_t{11776}}) {
            const double base = static_cast<double>(position + setup->eighth);
            for (const auto& lags : batches) {
                for (const bool energy : {false, true}) {
                    std::vector<RefinedDifference> fast(lags.size());
                    reads.measure(span, base, lags.data(), static_cast<int>(lags.size()), energy, fast.data());
                    for (std::size_t e = 0; e < lags.size(); ++e) {
                        const double origin = base - lags[e] / 2.0;
                        double difference = 0.0;
                        double power = 0.0;
                        for (int m = 0; m < span.terms; ++m) {
                            const double b = read(origin + m);
                            const double a = read(origin + m + lags[e]);
                            const double d = b - a;
                            difference += d * d * span.weights[m];
                            power += (b * b + a * a) * span.weights[m];
                        }
                        const std::string where = std::to_string(bits) + " bits at " + std::to_string(position) +
                                                  " lag " + std::to_string(lags[e]);
                        ASSERT_EQ(fast[e].difference, difference) << where;
                        ASSERT_EQ(fast[e].energy, energy ? power : 0.0) << where;
                    }
                }
            }
        }
    }
}

TEST(FrameEnergy, FourFramesAtOnceEqualTheScalarSums) {
    const int span = 1536;
    const AnalysisWindows windows = makeAnalysisWindows(1024);
    const std::vector<double> noise = test::noiseSignal(44100, 5000, 9000.0, 0.0, 11);
    std::vector<std::uint8_t> bytes(5000);
    for (std::size_t n = 0; n < bytes.size(); ++n)
        bytes[n] = static_cast<std::uint8_t>(std::clamp(std::lround(noise[n] / 256.0 + 127.5), 0L, 255L));
    const StoredChannel channel = decodeChannelZero(bytes, SampleType::U8, 1, 5000, 4000);
    const ReaderScale scale = readerScale(SampleType::U8);
    // Levels (only samples inside the data) and amplitudes (the zero bytes
    // behind it count), from a start before the data to frames past its end.
    for (const std::int64_t end : {std::int64_t{5000}, std::int64_t{5000 + 4000}}) {
        std::vector<double> sums(23);
        windowedSquareSums(channel, scale.scale, scale.offset, end, -256, 256, 23, windows.spanWindow.data(), span,
                           sums.data());
        for (std::int64_t k = 0; k < 23; ++k) {
            double sum = 0.0;
            for (int j = 0; j < span; ++j) {
                const std::int64_t n = -256 + k * 256 + j;
                if (n < 0 || n >= end) continue;
                const double value = (channel.at(n) - 127.5) * 256.0 * windows.spanWindow[static_cast<std::size_t>(j)];
                sum += value * value;
            }
            ASSERT_EQ(sums[static_cast<std::size_t>(k)], sum) << "frame " << k << " end " << end;
        }
    }
    // A sum that is not a number is the last term that is not one.
    StoredChannel nan = channel;
    nan.type = SampleType::F64;
    const double first = std::bit_cast<double>(std::uint64_t{0x7ff8000000000123});
    const double last = std::bit_cast<double>(std::uint64_t{0xfff8000000000456});
    nan.values[static_cast<std::size_t>(nan.padding + 600)] = first;
    nan.values[static_cast<std::size_t>(nan.padding + 900)] = last;
    std::vector<double> sums(4);
    windowedSquareSums(nan, 1.0, 0.0, 5000, 0, 256, 4, windows.spanWindow.data(), span, sums.data());
    EXPECT_EQ(std::bit_cast<std::uint64_t>(sums[0]), std::bit_cast<std::uint64_t>(last));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(sums[3]), std::bit_cast<std::uint64_t>(last));
}

}  // namespace
}  // namespace kestrand
