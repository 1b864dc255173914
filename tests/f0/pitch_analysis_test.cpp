// The whole analysis: report lines, tones, silence, thread counts, refusals,
// and the slow evaluation of every step as the reference.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "audio/wave_reader.h"
#include "f0/pitch_analysis.h"
#include "f0/pitch_oracle.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

struct AnalysisRun {
    std::optional<FrequencyList> list;
    std::string report;
};

AnalysisRun analyse(const LoadedSample& sample, int threads = 2) {
    const AnalysisSize size = analysisSizeForRate(sample.info.samplesPerSec);
    testing::internal::CaptureStderr();
    AnalysisRun run;
    run.list = analyseFrequencies(sample, size.windowLength, size.frameStep, threads);
    run.report = testing::internal::GetCapturedStderr();
    return run;
}

void expectSameLists(const FrequencyList& a, const FrequencyList& b, double tolerance) {
    EXPECT_EQ(a.frameStep, b.frameStep);
    EXPECT_EQ(a.sampleRate, b.sampleRate);
    ASSERT_EQ(a.listSize, b.listSize);
    ASSERT_EQ(a.frequencies.size(), b.frequencies.size());
    ASSERT_EQ(a.amplitudes.size(), b.amplitudes.size());
    EXPECT_NEAR(a.freqAvg, b.freqAvg, tolerance * b.freqAvg);
    for (std::size_t k = 0; k < a.frequencies.size(); ++k) {
        EXPECT_EQ(a.frequencies[k] > 0.0, b.frequencies[k] > 0.0) << "frame " << k;
        EXPECT_NEAR(a.frequencies[k], b.frequencies[k], tolerance * b.frequencies[k]) << "frame " << k;
        EXPECT_EQ(a.amplitudes[k], b.amplitudes[k]) << "frame " << k;
    }
}

TEST(PitchAnalysis, ReportLinesOfA44kSample) {
    const LoadedSample sample = test::toneSample(250, 44100, 16, 44100, 8000.0);
    const AnalysisRun run = analyse(sample, 3);
    ASSERT_TRUE(run.list);
    EXPECT_EQ(run.report,
              "N=1024 Step=256\n"
              "Data Size=88200\n"
              "Channels=1\n"
              "Block Align=2\n"
              "Samples per Sec=44100\n"
              "Bits per sample=16\n"
              "List Size=173\n"
              "Frequenz auf    57.421875Hz 768\n"
              "Frequenz bis zu 900.000000Hz 49\n"
              "Threads 3\n"
              "freq_avg=" +
                  std::to_string(run.list->freqAvg) + "\t\t\t\t\n");
    // No progress lines when standard error is not a terminal.
    EXPECT_EQ(run.report.find("pass "), std::string::npos);
}

TEST(PitchAnalysis, PureTonesGiveTheirFrequency) {
    for (const double f : {150.0, 210.0, 250.0, 441.0}) {
        const AnalysisRun run = analyse(test::toneSample(f, 44100, 16, 22050, 8000.0));
        ASSERT_TRUE(run.list);
        const FrequencyList& list = *run.list;
        EXPECT_EQ(list.frameStep, 256);
        EXPECT_EQ(list.sampleRate, 44100);
        EXPECT_EQ(list.listSize, 22050 / 256 + 1);
        EXPECT_NEAR(list.freqAvg, f, 0.002 * f);
        for (int k = 4; k < list.listSize - 6; ++k)
            EXPECT_NEAR(list.frequencies[k], f, 0.002 * f) << f << " frame " << k;
        // Amplitude of a full frame of a sine of level A: A/8 x sqrt(sum of squared window / 2).
        EXPECT_NEAR(list.amplitudes[40], 8000.0 / 8.0 * std::sqrt(1536 * 0.375 / 2), 40.0);
        EXPECT_EQ(list.frequencies[list.listSize], list.frequencies[list.listSize - 1]);
        EXPECT_EQ(list.amplitudes[list.listSize], list.amplitudes[list.listSize - 1]);
    }
}

// A 200 Hz tone at 44.1 kHz has a period of 220.5 samples: lag 441 (two
// periods) lands on whole samples and wins the score, but its half refines
// to 220.5 and repeats the tone as well, so the period decision takes it.
TEST(PitchAnalysis, ToneWithAHalfSamplePeriodKeepsItsFrequency) {
    const AnalysisRun run = analyse(test::toneSample(200, 44100, 16, 22050, 8000.0));
    ASSERT_TRUE(run.list);
    EXPECT_NEAR(run.list->freqAvg, 200.0, 0.2);
    for (int k = 4; k < run.list->listSize - 6; ++k) EXPECT_NEAR(run.list->frequencies[k], 200.0, 0.2) << k;
}

TEST(PitchAnalysis, OtherDepthsAndRates) {
    struct Case {
        int bits;
        std::uint16_t tag;
        std::uint32_t rate;
    };
    // 32-bit integers (tag 1) are read as integers, 32-bit tag 3 as floats.
    for (const Case c : {Case{8, 1, 44100}, Case{24, 1, 44100}, Case{32, 1, 44100}, Case{32, 3, 44100},
                         Case{64, 3, 44100}, Case{16, 1, 96000}, Case{16, 1, 22050}, Case{16, 1, 8000}}) {
        const AnalysisRun run =
            analyse(test::toneSample(250, c.rate, c.bits, static_cast<int>(c.rate / 2), 8000.0, c.tag));
        ASSERT_TRUE(run.list) << c.bits;
        EXPECT_NEAR(run.list->freqAvg, 250.0, 1.0) << c.bits << " bits " << c.rate;
        if (c.bits == 64) {
            EXPECT_EQ(run.list->amplitudes[10], 0.0);  // doubles contribute no amplitude
        } else {
            EXPECT_NEAR(run.list->amplitudes[10], run.list->amplitudes[11], 0.05 * run.list->amplitudes[11]);
            EXPECT_GT(run.list->amplitudes[10], 500.0) << c.bits << " bits " << c.rate;
        }
    }
}

TEST(PitchAnalysis, OnlyChannelZeroIsAnalysed) {
    const LoadedSample left = test::toneSample(250, 44100, 16, 22050, 8000.0);
    const LoadedSample right = test::toneSample(441, 44100, 16, 22050, 8000.0);
    LoadedSample stereo = left;
    stereo.info.channels = 2;
    stereo.info.blockAlign = 4;
    stereo.dataBytes = left.dataBytes * 2;
    stereo.bytes.assign(left.bytes.size() * 2, 0);
    for (std::size_t n = 0; n < left.bytes.size() / 2; ++n) {
        std::memcpy(&stereo.bytes[4 * n], &left.bytes[2 * n], 2);
        std::memcpy(&stereo.bytes[4 * n + 2], &right.bytes[2 * n], 2);
    }
    const AnalysisRun run = analyse(stereo);
    ASSERT_TRUE(run.list);
    EXPECT_NEAR(run.list->freqAvg, 250.0, 0.5);
    EXPECT_NE(run.report.find("Channels=2\nBlock Align=4\n"), std::string::npos);
}

TEST(PitchAnalysis, SilenceHasNoPitchAndTheLowestFrequencyAsAverage) {
    LoadedSample silent = test::toneSample(250, 44100, 16, 10000, 0.0);
    const AnalysisRun run = analyse(silent);
    ASSERT_TRUE(run.list);
    EXPECT_DOUBLE_EQ(run.list->freqAvg, 44100.0 / 768.0);
    for (const double f : run.list->frequencies) EXPECT_EQ(f, 0.0);
    for (const double a : run.list->amplitudes) EXPECT_EQ(a, 0.0);
}

TEST(PitchAnalysis, EmptyAndOneFrameSamplesGiveAListWithoutPitch) {
    for (const int frames : {0, 1}) {
        const AnalysisRun run = analyse(test::toneSample(250, 44100, 16, frames, 8000.0));
        ASSERT_TRUE(run.list);
        EXPECT_EQ(run.list->listSize, 1);
        ASSERT_EQ(run.list->frequencies.size(), 2u);
        EXPECT_EQ(run.list->frequencies[0], 0.0);
        EXPECT_DOUBLE_EQ(run.list->freqAvg, 44100.0 / 768.0);
    }
}

TEST(PitchAnalysis, DataSizeBeyondTheBufferUsesOnlyTheBytesPresent) {
    LoadedSample sample = test::toneSample(250, 44100, 16, 5000, 8000.0);
    sample.bytes.resize(10000);  // exactly the sound, no tail
    sample.dataBytes = 0xFFFFFFF0u;
    const AnalysisRun run = analyse(sample);
    ASSERT_TRUE(run.list);
    EXPECT_EQ(run.list->listSize, 5000 / 256 + 1);
    EXPECT_NEAR(run.list->freqAvg, 250.0, 1.0);
}

TEST(PitchAnalysis, UnsupportedFormatsGiveNothingWithAMessage) {
    LoadedSample sample = test::toneSample(250, 44100, 16, 3000, 8000.0);
    sample.info.bitsPerSample = 12;
    AnalysisRun run = analyse(sample);
    EXPECT_FALSE(run.list);
    EXPECT_EQ(run.report, "Pitch analysis: 12 bits per sample cannot be analysed.\n");
    sample.info.bitsPerSample = 16;
    sample.info.blockAlign = 0;
    run = analyse(sample);
    EXPECT_FALSE(run.list);
    EXPECT_NE(run.report.find("Pitch analysis:"), std::string::npos);
    sample.info.blockAlign = 2;
    sample.info.channels = 0;
    EXPECT_FALSE(analyse(sample).list);
    sample.info.channels = 1;
    sample.info.samplesPerSec = 0;
    EXPECT_FALSE(analyse(sample).list);
}

TEST(PitchAnalysis, ResultDoesNotDependOnTheThreadCount) {
    const LoadedSample sample = test::loadVoiceWave("ka.wav");
    const AnalysisRun one = analyse(sample, 1);
    ASSERT_TRUE(one.list);
    for (const int threads : {2, 3, 32}) {
        const AnalysisRun many = analyse(sample, threads);
        ASSERT_TRUE(many.list);
        EXPECT_EQ(many.list->freqAvg, one.list->freqAvg);
        EXPECT_EQ(many.list->frequencies, one.list->frequencies);
        EXPECT_EQ(many.list->amplitudes, one.list->amplitudes);
    }
}

TEST(PitchAnalysisOracle, VoiceSamplesMatchTheSlowAnalysis) {
    for (const char* name : {"a.wav", "i.wav", "ka.wav", "la.wav", "ma.wav", "su.wav"}) {
        SCOPED_TRACE(name);
        const LoadedSample sample = test::loadVoiceWave(name);
        const AnalysisRun run = analyse(sample);
        ASSERT_TRUE(run.list);
        expectSameLists(*run.list, test::slowAnalysis(sample, 1024, 256), 1e-9);
        EXPECT_GT(run.list->freqAvg, 150.0);
        EXPECT_LT(run.list->freqAvg, 600.0);
    }
}

// A tone with a short burst of noise: the burst frames lose their
// pitch in the first pass and the second pass fills them from their neighbours.
TEST(PitchAnalysisOracle, SecondPassMatchesTheSlowAnalysis) {
    LoadedSample sample = test::toneSample(250, 44100, 16, 30000, 8000.0);
    std::uint32_t seed = 12345;
    for (int n = 14000; n < 15000; ++n) {
        seed = seed * 1664525u + 1013904223u;
        const auto value = static_cast<std::int16_t>(static_cast<std::int32_t>(seed >> 16) - 32768);
        std::memcpy(&sample.bytes[2 * n], &value, 2);
    }
    const AnalysisRun run = analyse(sample);
    ASSERT_TRUE(run.list);
    expectSameLists(*run.list, test::slowAnalysis(sample, 1024, 256), 1e-9);
}

}  // namespace
}  // namespace kestrand

namespace kestrand {
namespace {

// The bundled syllables one after another, twice: about 3.5 s of voice with
// pauses, octave-prone frames and unvoiced stretches, so that both passes
// have work near every piece boundary.
std::vector<int> voiceSound() {
    std::vector<int> sound;
    for (int round = 0; round < 2; ++round) {
        for (const char* name : {"a.wav", "i.wav", "ka.wav", "la.wav", "ma.wav", "su.wav"}) {
            const auto samples = test::waveSamples16(test::readFileBytes(test::voiceSample(name)));
            sound.insert(sound.end(), samples.begin(), samples.end());
        }
    }
    return sound;
}

// The sound in one of the stored encodings, as the WAV reader returns it.
LoadedSample encoded(const std::vector<int>& sound, std::uint16_t tag, std::uint16_t bits, std::uint16_t channels,
                     std::uint32_t rate) {
    LoadedSample sample;
    sample.info.formatTag = tag;
    sample.info.channels = channels;
    sample.info.samplesPerSec = rate;
    sample.info.bitsPerSample = bits;
    sample.info.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    for (const int v : sound) {
        for (int c = 0; c < channels; ++c) {
            const int value = c == 0 ? v : -v / 3;  // another sound in the second channel
            if (bits == 8) {
                sample.bytes.push_back(static_cast<std::uint8_t>((value >> 8) + 128));
            } else if (bits == 16) {
                appendU16(sample.bytes, static_cast<std::uint16_t>(value));
            } else {
                appendU64(sample.bytes, std::bit_cast<std::uint64_t>(value / 32768.0));
            }
        }
    }
    sample.dataBytes = static_cast<std::uint32_t>(sample.bytes.size());
    sample.bytes.resize(sample.bytes.size() + 4096u * sample.info.blockAlign, 0);
    return sample;
}

// A long sample is analysed piece by piece; every piece size gives the
// whole sample's list, bit for bit, in every window size and encoding.
TEST(PitchAnalysis, PiecesGiveTheWholeSamplesList) {
    const std::vector<int> sound = voiceSound();
    struct Case {
        std::uint16_t tag, bits, channels;
        std::uint32_t rate;
    };
    for (const Case c : {Case{1, 16, 1, 44100}, Case{1, 8, 1, 22050}, Case{3, 64, 2, 96000}}) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits at " + std::to_string(c.rate) + " Hz");
        const LoadedSample sample = encoded(sound, c.tag, c.bits, c.channels, c.rate);
        const AnalysisSize size = analysisSizeForRate(c.rate);
        testing::internal::CaptureStderr();
        const auto whole = analyseFrequencies(sample, size.windowLength, size.frameStep, 2);
        const auto pieces = analyseFrequenciesInPieces(sample, size.windowLength, size.frameStep, 2, 9000);
        const std::string report = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(whole);
        ASSERT_TRUE(pieces);
        EXPECT_EQ(pieces->listSize, whole->listSize);
        EXPECT_EQ(pieces->freqAvg, whole->freqAvg);
        EXPECT_EQ(pieces->frequencies, whole->frequencies);
        EXPECT_EQ(pieces->amplitudes, whole->amplitudes);
        // Both report the same lines.
        const std::size_t half = report.find("N=", 1);
        ASSERT_NE(half, std::string::npos);
        EXPECT_EQ(report.substr(0, half), report.substr(half));
    }
}

}  // namespace
}  // namespace kestrand
