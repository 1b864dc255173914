// Whole notes from jobs through the synthesis engine: length, pitch, determinism, the
// fast evaluation against the literal one, printed lines and hostile input.
#include "render/job_note.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "f0/frequency_list.h"
#include "render/output_settings.h"
#include "render/render_stage.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::TempDir;

// The output settings of a render at `rate` Hz.
OutputSettings atRate(int rate) {
    OutputSettings settings;
    settings.sampleRate = rate;
    settings.frameSize = frameSizeForRate(rate);
    settings.hopSize = settings.frameSize / 4;
    return settings;
}

// The job's note: its samples, and its length in `count` (left as it was
// when nothing is rendered).
std::optional<std::vector<double>> synthesize(const RenderJob& job, std::int32_t& count, std::int32_t threads,
                                              const OutputSettings& settings = OutputSettings{},
                                              const SynthesisOptions& options = {}) {
    std::optional<SynthesizedNote> note = synthesizeJobNote(job, settings, threads, options);
    if (!note) return std::nullopt;
    count = note->count;
    return std::move(note->samples);
}

// A copy of the bundled voice in a scratch folder (its list file lands there).
std::wstring copyVoice(const TempDir& dir) {
    const auto target = dir / "a.wav";
    std::filesystem::copy_file(test::voiceSample("a.wav"), target);
    std::filesystem::permissions(target, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    return test::widePath(target);
}

RenderJob quietJob(const std::wstring& voice, double tone, double lengthMs) {
    RenderJob job;
    job.voiceFile = voice;
    job.outFile = L"unused.wav";
    job.flags = L"n";
    job.tone = static_cast<float>(tone);
    job.lengthRequire = static_cast<float>(lengthMs);
    return job;
}

// Fundamental frequency of samples[from, to) by normalised autocorrelation:
// the shortest lag that comes within 10 % of the best peak, refined by a
// parabola through its neighbours.
double fundamental(const std::vector<double>& x, std::size_t from, std::size_t to, double rate) {
    const int minLag = static_cast<int>(rate / 1200), maxLag = static_cast<int>(rate / 70);
    std::vector<double> r(static_cast<std::size_t>(maxLag + 2), 0.0);
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = from; i + static_cast<std::size_t>(lag) < to; ++i) {
            xy += x[i] * x[i + static_cast<std::size_t>(lag)];
            xx += x[i] * x[i];
            yy += x[i + static_cast<std::size_t>(lag)] * x[i + static_cast<std::size_t>(lag)];
        }
        r[static_cast<std::size_t>(lag)] = xy / std::sqrt(xx * yy + 1e-30);
    }
    double best = 0;
    for (int lag = minLag; lag <= maxLag; ++lag) best = std::max(best, r[static_cast<std::size_t>(lag)]);
    for (int lag = minLag; lag <= maxLag; ++lag) {
        const double a = r[static_cast<std::size_t>(lag - 1)], b = r[static_cast<std::size_t>(lag)],
                     c = r[static_cast<std::size_t>(lag + 1)];
        if (b >= 0.9 * best && b >= a && b >= c) {
            const double shift = 0.5 * (a - c) / (a - 2 * b + c);
            return rate / (lag + shift);
        }
    }
    return 0;
}

double cents(double f, double reference) { return 1200 * std::log2(f / reference); }

TEST(SynthesizeNote, RendersTheVoiceAtTheWantedPitchAndLength) {
    const OutputSettings format = atRate(44100);
    TempDir dir;
    const std::wstring voice = copyVoice(dir);
    for (const double target : {196.0, 261.63, 392.0, 523.25}) {
        std::int32_t count = -5;
        const auto note = synthesize(quietJob(voice, target, 600), count, 0, format);
        ASSERT_TRUE(note.has_value()) << target;
        EXPECT_EQ(count, 26460);
        EXPECT_EQ(note->size(), 26460u + 1024u);
        const double f = fundamental(*note, 6000, 20000, 44100);
        EXPECT_LT(std::fabs(cents(f, target)), 10.0) << "target " << target << " measured " << f;
        for (const double v : *note) ASSERT_TRUE(std::isfinite(v));
    }
}

TEST(SynthesizeNote, PitchHoldsAtOtherOutputRates) {
    TempDir dir;
    const std::wstring voice = copyVoice(dir);
    for (const int rate : {22050, 96000}) {
        const OutputSettings format = atRate(rate);
        std::int32_t count = 0;
        const auto note = synthesize(quietJob(voice, 330.0, 500), count, 0, format);
        ASSERT_TRUE(note.has_value());
        EXPECT_EQ(count, static_cast<std::int32_t>(std::trunc(rate * 0.5 + 0.5)));
        const double f =
            fundamental(*note, static_cast<std::size_t>(count / 5), static_cast<std::size_t>(count * 4 / 5), rate);
        EXPECT_LT(std::fabs(cents(f, 330.0)), 10.0) << rate << " measured " << f;
    }
}

TEST(SynthesizeNote, SameResultWithAnyThreadCount) {
    const OutputSettings format = atRate(44100);
    TempDir dir;
    const std::wstring voice = copyVoice(dir);
    RenderJob job = quietJob(voice, 300.0, 700);
    job.breathy = 70;
    job.gender = 15;
    std::int32_t count = 0;
    const auto one = synthesize(job, count, 1, format);
    const auto two = synthesize(job, count, 2, format);
    const auto seven = synthesize(job, count, 7, format);
    ASSERT_TRUE(one && two && seven);
    EXPECT_TRUE(*one == *two);
    EXPECT_TRUE(*one == *seven);
}

// Worker threads outlive their render and start when frames first need them:
// renders one after another, with any thread count, still agree.
TEST(SynthesizeNote, BackToBackRendersAgree) {
    const OutputSettings format = atRate(44100);
    TempDir dir;
    const std::wstring voice = copyVoice(dir);
    RenderJob job = quietJob(voice, 330.0, 120);
    std::int32_t count = 0;
    const auto first = synthesize(job, count, 0, format);
    ASSERT_TRUE(first.has_value());
    for (int round = 0; round < 24; ++round) {
        const auto again = synthesize(job, count, 1 + round % 8, format);
        ASSERT_TRUE(again.has_value());
        ASSERT_TRUE(*again == *first) << "round " << round;
    }
}

// The fast kernels against tap-by-tap reads: after normalisation, as 32-bit
// float output, no sample moves by more than 1e-6 of full scale.
void expectFastMatchesLiteral(RenderJob job, int rate) {
    const OutputSettings format = atRate(rate);
    std::int32_t countFast = 0, countLiteral = 0;
    auto fast = synthesize(job, countFast, 2, format, SynthesisOptions{false});
    auto literal = synthesize(job, countLiteral, 2, format, SynthesisOptions{true});
    ASSERT_TRUE(fast && literal);
    ASSERT_EQ(countFast, countLiteral);
    fast->resize(static_cast<std::size_t>(countFast));
    literal->resize(static_cast<std::size_t>(countLiteral));
    normalizeAndScale(*fast, job);
    normalizeAndScale(*literal, job);
    double worst = 0;
    for (std::size_t i = 0; i < fast->size(); ++i) {
        const float a = static_cast<float>((*fast)[i] / 32768.0), b = static_cast<float>((*literal)[i] / 32768.0);
        worst = std::max(worst, static_cast<double>(std::fabs(a - b)));
    }
    EXPECT_LE(worst, 1e-6) << "rate " << rate;
}

TEST(SynthesizeNote, FastEvaluationMatchesTheLiteralOne) {
    TempDir dir;
    const std::wstring voice = copyVoice(dir);
    RenderJob job = quietJob(voice, 280.0, 400);
    job.breathy = 60;
    expectFastMatchesLiteral(job, 44100);  // whole-sample source, shared breath kernel
    job.gender = -20;
    job.reverse = 1;
    expectFastMatchesLiteral(job, 44100);  // breath read at a fractional step
    job.gender = 10;
    job.reverse = 0;
    expectFastMatchesLiteral(job, 48000);  // sinc-read source frames
    expectFastMatchesLiteral(job, 96000);  // width-1 reads at a fractional step everywhere
    // Curves: a bend and an intensity curve, with and without frames.
    job = quietJob(voice, 300.0, 500);
    job.tempo = 100;
    PitchCurve bend, intensity;
    for (int k = 0; k < 150; ++k) {
        bend.values.push_back(static_cast<std::int16_t>(300 * std::sin(k * 0.2)));
        intensity.values.push_back(static_cast<std::int16_t>(-10 * k));
    }
    job.pitchBend = bend;
    job.intensity = intensity;
    job.modulation = 40;
    expectFastMatchesLiteral(job, 44100);
    job.noFormant = 1;
    expectFastMatchesLiteral(job, 44100);
    // A region running past the end of the sample, read through its edges.
    job = quietJob(voice, 250.0, 600);
    job.voiceOffset = 200;
    job.voiceFixed1 = 30;
    expectFastMatchesLiteral(job, 44100);
}

// A synthetic voice: a periodic wave of exactly 200 frames per period, with
// a frequency list that says so.
std::wstring writePeriodicVoice(const TempDir& dir, int bits = 16) {
    std::vector<std::uint8_t> data;
    for (int k = 0; k < 44100; ++k) {
        double v = 0;
        for (int h = 1; h < 6; ++h) v += 5000.0 / h * std::sin(2 * std::numbers::pi * h * k / 200.0 + 0.3 * h);
        const auto s = static_cast<std::int16_t>(std::lround(v));
        if (bits == 16) {
            std::uint8_t b[2];
            std::memcpy(b, &s, 2);
            data.insert(data.end(), b, b + 2);
        } else {
            data.push_back(0);
            data.push_back(static_cast<std::uint8_t>(s));
        }
    }
    const auto path = dir / "tone.wav";
    test::writeFileBytes(path, test::makeWaveImage(1, 1, 44100, static_cast<std::uint16_t>(bits), data));
    FrequencyList list;
    list.frameStep = 256;
    list.sampleRate = 44100;
    list.listSize = 44100 / 256 + 1;
    list.freqAvg = 220.5;
    list.frequencies.assign(static_cast<std::size_t>(list.listSize) + 1, 220.5);
    list.amplitudes.assign(static_cast<std::size_t>(list.listSize) + 1, 1000.0);
    EXPECT_EQ(saveFrequencyList(test::widePath(path), list), 1);
    return test::widePath(path);
}

TEST(SynthesizeNote, DirectWaveformRepeatsEveryOutputPeriod) {
    const OutputSettings format = atRate(44100);
    TempDir dir;
    RenderJob job = quietJob(writePeriodicVoice(dir), 441.0, 500);
    job.noFormant = 1;
    job.voiceOffset = 100;
    std::int32_t count = 0;
    const auto note = synthesize(job, count, 0, format);
    ASSERT_TRUE(note.has_value());
    ASSERT_EQ(count, 22050);
    // 44100 / 441 = 100 samples per period.
    double peak = 0, worst = 0;
    for (std::size_t j = 1000; j < 20000; ++j) {
        peak = std::max(peak, std::fabs((*note)[j]));
        worst = std::max(worst, std::fabs((*note)[j + 100] - (*note)[j]));
    }
    EXPECT_GT(peak, 1000);
    EXPECT_LT(worst, 1e-3 * peak);
    EXPECT_NEAR(fundamental(*note, 1000, 20000, 44100), 441.0, 0.05);
}

TEST(SynthesizeNote, NoFormantAppliesTheIntensityCurve) {
    const OutputSettings format = atRate(44100);
    TempDir dir;
    RenderJob job = quietJob(writePeriodicVoice(dir), 441.0, 500);
    job.noFormant = 1;
    std::int32_t count = 0;
    const auto plain = synthesize(job, count, 0, format);
    PitchCurve intensity;
    intensity.values.assign(200, 200);  // 2^(200 * 0.005) = 2
    job.intensity = intensity;
    job.tempo = 120;  // 0.625 / 120 * 44100 = 229.7: 230 samples per step
    const auto loud = synthesize(job, count, 0, format);
    ASSERT_TRUE(plain && loud);
    for (std::size_t j = 0; j < 230; ++j) EXPECT_EQ((*loud)[j], (*plain)[j]);  // step 0 keeps its level
    for (std::size_t j = 300; j < 20000; j += 7) EXPECT_DOUBLE_EQ((*loud)[j], 2 * (*plain)[j]);
}

TEST(SynthesizeNote, PrintsTheRenderLinesUnlessQuiet) {
    const OutputSettings format = atRate(44100);
    TempDir dir;
    RenderJob job = quietJob(writePeriodicVoice(dir), 440.0, 100);
    job.flags = L"P86";
    std::int32_t count = 0;
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(synthesize(job, count, 3, format).has_value());
    const std::string printed = ::testing::internal::GetCapturedStdout();
    const char* lines[] = {"Input  Sample Rate=44100  Bit Depth=16 Channels=1\n",
                           "Outlength=4410samples\n",
                           "Modulation=0.000000\n",
                           "Gender=1.000000\n",
                           "Breathy=0.500000\n",
                           "Breath Alpha=1.000000\n",
                           "Reverse Mode 0\n",
                           "Freq Avg=220.500000\n",
                           "Target Freq=440.000000\n",
                           "This process took "};
    std::size_t at = 0;
    for (const char* line : lines) {
        const std::size_t found = printed.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << " in\n" << printed;
        at = found;
    }
    EXPECT_NE(printed.find(" msec with 3 threads.\n"), std::string::npos);
    job.tone = 2;  // a ratio to the average
    job.outFile = L"-";
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(synthesize(job, count, 0, format).has_value());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(SynthesizeNoteInput, MissingAndUnreadableInputs) {
    const OutputSettings format = atRate(44100);
    TempDir dir;
    RenderJob job = quietJob(test::widePath(dir / "missing.wav"), 440, 300);
    std::int32_t count = 77;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(synthesize(job, count, 0, format).has_value());
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Datei hat nicht gefunden.\n"), std::string::npos);
    EXPECT_EQ(count, 77);
    job.voiceFile.reset();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(synthesize(job, count, 0, format).has_value());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Argument fehlt.\n");
    // An empty data chunk.
    test::writeFileBytes(dir / "empty.wav", test::makeWaveImage(1, 1, 44100, 16, {}));
    job.voiceFile = test::widePath(dir / "empty.wav");
    ::testing::internal::CaptureStderr();
    const auto empty = synthesize(job, count, 0, format);
    ::testing::internal::GetCapturedStderr();
    if (empty) {
        for (const double v : *empty) EXPECT_TRUE(std::isfinite(v));
    }
}

TEST(SynthesizeNoteInput, AbsurdNumbersStayFinite) {
    const OutputSettings format = atRate(44100);
    TempDir dir;
    const std::wstring voice = writePeriodicVoice(dir);
    auto finiteRender = [&format](const RenderJob& job) {
        std::int32_t count = 0;
        const auto note = synthesize(job, count, 2, format);
        if (!note) return false;
        for (const double v : *note) {
            if (!std::isfinite(v)) return false;
        }
        return count >= 0;
    };
    RenderJob job = quietJob(voice, 440, 300);
    for (const float gender : {1000.0f, -1000.0f, 1e30f}) {
        job.gender = gender;
        EXPECT_TRUE(finiteRender(job)) << gender;
    }
    job = quietJob(voice, 440, 300);
    job.voiceOffset = 5000;  // region entirely past the end of the 1 s sample
    EXPECT_TRUE(finiteRender(job));
    job = quietJob(voice, -50, 300);
    job.modulation = 1e30f;
    job.velocity1 = -1e9f;
    job.velocity2 = 1e9f;
    job.voiceFixed1 = 100;
    job.voiceFixed2 = 200;
    EXPECT_TRUE(finiteRender(job));
    job = quietJob(voice, 1e30f, 5);  // head and tail squeezed into 220 samples
    job.voiceFixed1 = 100;
    job.voiceFixed2 = 200;
    job.tempo = 0;
    PitchCurve bend;
    bend.values = {32767, -32768, 0, 1200};
    job.pitchBend = bend;
    EXPECT_TRUE(finiteRender(job));
    job.tempo = 1e30f;  // a pitch step shorter than a sample
    job.intensity = bend;
    EXPECT_TRUE(finiteRender(job));
    job = quietJob(voice, 440, 1e9f);
    std::int32_t count = 0;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(synthesize(job, count, 0, format).has_value());
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("one hour"), std::string::npos);
}

TEST(SynthesizeNoteInput, UnsupportedDepthRendersSilence) {
    const OutputSettings format = atRate(44100);
    TempDir dir;
    const std::wstring voice = writePeriodicVoice(dir, 16);
    // Rewrite the header's depth to 12 bits, keeping the list file.
    auto bytes = test::readFileBytes(dir / "tone.wav");
    bytes[34] = 12;
    test::writeFileBytes(dir / "tone.wav", bytes);
    // The list stays up to date (not older than its sample).
    std::filesystem::last_write_time(dir / "tone_wav.frq", std::filesystem::last_write_time(dir / "tone.wav"));
    std::int32_t count = 0;
    const auto note = synthesize(quietJob(voice, 440, 200), count, 0, format);
    ASSERT_TRUE(note.has_value());
    for (const double v : *note) EXPECT_EQ(v, 0.0);
}

}  // namespace
}  // namespace kestrand
