// Pitch analysis of low voices: tone sweeps that a period landing between
// whole samples used to halve, synthetic low voices that a strong second
// harmonic used to double, noise that must stay without pitch, and a low
// note rendered from a low voice.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio/wave_reader.h"
#include "f0/frame_pitch.h"
#include "f0/frame_voicing.h"
#include "f0/pitch_analysis.h"
#include "support/note_files.h"
#include "support/test_files.h"
#include "support/test_signals.h"

namespace kestrand {
namespace {

double cents(double f, double reference) { return 1200.0 * std::log2(f / reference); }

// Every frame of a short tone that lies wholly inside it must be voiced and
// within 5 cents; the failures are collected so that one line names them all.
void checkTones(std::uint32_t rate, const std::vector<int>& frequencies, std::string& failures, int& frames) {
    const AnalysisSize size = analysisSizeForRate(rate);
    const int N = size.windowLength;
    const int length = 3 * N + size.frameStep;
    for (const int f : frequencies) {
        for (const bool saw : {false, true}) {
            const auto signal =
                saw ? test::sawtoothSignal(f, rate, length, 5000.0) : test::sineSignal(f, rate, length, 8000.0);
            const LoadedSample sample = test::sampleOf(signal, rate);
            const auto setup = prepareFramePitch(sample, N, size.frameStep, 1);
            ASSERT_TRUE(setup);
            FramePitchScratch scratch(*setup);
            for (std::int64_t p = N; p + 2 * N <= length; p += size.frameStep) {
                ++frames;
                const double found = estimateFramePitch(*setup, scratch, p, setup->minLag, setup->maxLag, 1);
                if (!(found > 0.0) || std::fabs(cents(found, f)) > 5.0)
                    failures += " " + std::string(saw ? "saw " : "sine ") + std::to_string(f) +
                                " Hz: " + std::to_string(found) + ";";
            }
        }
    }
}

TEST(LowVoice, SinesAndSawtoothsAtEveryWholeHertzFrom65To400At44k) {
    std::vector<int> frequencies;
    for (int f = 65; f <= 400; ++f) frequencies.push_back(f);
    std::string failures;
    int frames = 0;
    checkTones(44100, frequencies, failures, frames);
    EXPECT_EQ(failures, "") << "at 44.1 kHz";
    EXPECT_EQ(frames, 2 * 336 * 2);
}

TEST(LowVoice, SinesAndSawtoothsAt48And96k) {
    std::vector<int> frequencies;
    for (int f = 65; f <= 400; f += 5) frequencies.push_back(f);
    for (const std::uint32_t rate : {48000u, 96000u}) {
        std::string failures;
        int frames = 0;
        checkTones(rate, frequencies, failures, frames);
        EXPECT_EQ(failures, "") << "at " << rate << " Hz";
        EXPECT_GT(frames, 0);
    }
}

// Glottal-pulse voices from 70 to 160 Hz on five vowels, with vibrato,
// jitter, shimmer and a strong second harmonic: the whole analysis keeps at
// least 99 % of the frames inside the voice voiced and within 50 cents of
// the contour (at the centre of the span that chooses the period), and
// none an octave off.
TEST(LowVoice, SyntheticLowVoicesKeepTheirContour) {
    const std::uint32_t rate = 44100;
    const int length = 16000;
    const AnalysisSize size = analysisSizeForRate(rate);
    int frames = 0;
    int good = 0;
    std::string octaves;
    std::uint32_t seed = 1;
    for (int base = 70; base <= 160; base += 10) {
        for (const test::Vowel vowel :
             {test::Vowel::A, test::Vowel::I, test::Vowel::U, test::Vowel::O, test::Vowel::E}) {
            const test::GlottalVoice voice = test::glottalVoice(base, vowel, rate, length, seed++);
            testing::internal::CaptureStderr();
            const auto list =
                analyseFrequencies(test::sampleOf(voice.samples, rate), size.windowLength, size.frameStep, 2);
            testing::internal::GetCapturedStderr();
            ASSERT_TRUE(list);
            for (int k = 0; k < list->listSize; ++k) {
                const int p = k * size.frameStep;
                if (p < size.windowLength || p + 2 * size.windowLength > length) continue;
                ++frames;
                const double f = list->frequencies[static_cast<std::size_t>(k)];
                const double truth = voice.truth[static_cast<std::size_t>(p + size.frameStep / 4)];
                if (f > 0.0 && std::fabs(cents(f, truth)) <= 50.0) ++good;
                if (f > 0.0 && std::fabs(std::fabs(cents(f, truth)) - 1200.0) < 300.0)
                    octaves += " " + std::to_string(base) + " Hz vowel " + std::to_string(static_cast<int>(vowel)) +
                               " frame " + std::to_string(k) + ": " + std::to_string(f) + ";";
            }
        }
    }
    EXPECT_GE(good, 0.99 * frames) << good << " of " << frames;
    EXPECT_EQ(octaves, "");
}

// Loud noise after a voice of the same level: white, and low-passed at 2 kHz
// and at 400 Hz (breath and fricatives). The candidate count still rejects
// noise: most of its frames have too many, and none of those is voiced for
// being loud.
TEST(LowVoice, NoiseAsLoudAsTheVoiceStaysWithoutPitch) {
    const std::uint32_t rate = 44100;
    const AnalysisSize size = analysisSizeForRate(rate);
    const int N = size.windowLength;
    for (const double lowPass : {0.0, 2000.0, 400.0}) {
        std::vector<double> signal = test::glottalVoice(100, test::Vowel::A, rate, 8000, 7).samples;
        double energy = 0.0;
        for (const double v : signal) energy += v * v;
        const auto noise = test::noiseSignal(rate, 20000, std::sqrt(energy / signal.size()), lowPass, 11);
        const auto voiceEnd = static_cast<std::int64_t>(signal.size());
        signal.insert(signal.end(), noise.begin(), noise.end());
        const LoadedSample sample = test::sampleOf(signal, rate);
        const auto setup = prepareFramePitch(sample, N, size.frameStep, 1);
        ASSERT_TRUE(setup);
        FramePitchScratch scratch(*setup);
        int frames = 0;
        int many = 0;
        int voicedWithMany = 0;
        for (std::int64_t p = voiceEnd + N; p + 2 * N <= setup->frames; p += size.frameStep) {
            ++frames;
            const int count = findCandidates(*setup, scratch, p, setup->minLag, setup->maxLag);
            if (count == 0 || hasFewCandidates(count, setup->minLag, setup->maxLag)) continue;
            ++many;
            voicedWithMany += estimateFramePitch(*setup, scratch, p, setup->minLag, setup->maxLag, 1) > 0.0;
        }
        EXPECT_GT(frames, 40);
        EXPECT_GT(many, frames / 2) << "noise low-passed at " << lowPass << " Hz";
        EXPECT_EQ(voicedWithMany, 0) << "noise low-passed at " << lowPass << " Hz";
    }
}

// A low note rendered from a low voice whose strong second harmonic used to
// double the list: every 25 ms of the note repeats after one period of the
// note's pitch (an octave drop would make the waveform repeat only after two).
TEST(LowVoice, LowNoteFromALowVoiceHasNoOctaveDrop) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    const std::uint32_t rate = 44100;
    const test::GlottalVoice voice = test::glottalVoice(130, test::Vowel::U, rate, 30000, 3);
    test::writeFileBytes(dir / "u.wav", test::waveImageOf(voice.samples, rate));
    const std::string command =
        test::shellQuoted(test::programPath().string()) + " " + test::shellQuoted((dir / "u.wav").string()) + " " +
        test::shellQuoted((dir / "note.wav").string()) + " C3 100 nB0 0 500 0 0 100 0 '!120' AA";
    ASSERT_EQ(test::runCommand(command).exitCode, 0);
    const auto note = readWaveBytes(test::widePath(dir / "note.wav"), 0);
    ASSERT_TRUE(note);
    ASSERT_EQ(note->info.bitsPerSample, 16);
    std::vector<double> samples(note->dataBytes / 2);
    for (std::size_t n = 0; n < samples.size(); ++n)
        samples[n] = static_cast<std::int16_t>(note->bytes[2 * n] | (note->bytes[2 * n + 1] << 8));
    const int period = static_cast<int>(std::lround(rate / 130.81));
    const int window = static_cast<int>(rate / 40);
    int windows = 0;
    for (int start = static_cast<int>(rate / 20);
         start + window + period < static_cast<int>(samples.size()) - static_cast<int>(rate / 20); start += window) {
        ++windows;
        // Vibrato moves the period by up to 2.3 %: the best lag near it.
        double best = 2.0;
        for (int lag = period * 97 / 100; lag <= period * 103 / 100; ++lag)
            best = std::min(best, test::repetitionDifference(samples, start, window, lag));
        EXPECT_LT(best, 0.3) << "window at " << start;
    }
    EXPECT_GE(windows, 10);
}

}  // namespace
}  // namespace kestrand
