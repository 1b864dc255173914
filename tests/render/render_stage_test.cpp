#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/output_settings.h"
#include "render/render_stage.h"
#include "render/render_tail.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

struct OutputSettingsCase {
    const char* rate;
    const char* bits;
    int expectedRate;
    int expectedBits;
    int expectedFrame;
};

TEST(OutputSettings, FollowTheEnvironmentWithinRange) {
    const OutputSettingsCase cases[] = {
        {"96000", "24", 96000, 24, 2048},  {"3999", "7", 44100, 16, 1024},   {"400000", "65", 44100, 16, 1024},
        {"22050", "32", 22050, 32, 512},   {"8000", "64", 8000, 64, 256},    {"44100", "8", 44100, 8, 1024},
        {"64000", "abc", 64000, 16, 2048}, {"63999", "16", 63999, 16, 1024}, {"16000", "16", 16000, 16, 512},
    };
    for (const auto& c : cases) {
        test::setEnvironment("OUTPUT_SAMPLES_PER_SEC", c.rate);
        test::setEnvironment("OUTPUT_BITS_PER_SAMPLE", c.bits);
        const OutputSettings s = readOutputSettings();
        EXPECT_EQ(s.sampleRate, c.expectedRate) << c.rate;
        EXPECT_EQ(s.bitsPerSample, c.expectedBits) << c.bits;
        EXPECT_EQ(s.frameSize, c.expectedFrame) << c.rate;
        EXPECT_EQ(s.hopSize, c.expectedFrame / 4);
    }
    // Unset variables keep the previous values.
    test::setEnvironment("OUTPUT_SAMPLES_PER_SEC", "22050");
    const OutputSettings previous = readOutputSettings();
    test::unsetEnvironment("OUTPUT_SAMPLES_PER_SEC");
    test::unsetEnvironment("OUTPUT_BITS_PER_SAMPLE");
    EXPECT_EQ(readOutputSettings(previous).sampleRate, 22050);
    EXPECT_EQ(readOutputSettings().sampleRate, 44100);
}

RenderJob jobWith(const wchar_t* flags, float volume = 100) {
    RenderJob job;
    job.flags = flags;
    job.volume = volume;
    return job;
}

TEST(Normalisation, MovesPeakByStrengthAndAppliesVolume) {
    std::vector<double> s{1000, -2000, 500};
    normalizeAndScale(s, jobWith(L"P100"));
    EXPECT_DOUBLE_EQ(s[1], -16384.0);
    EXPECT_DOUBLE_EQ(s[0], 8192.0);

    s = {1000, -2000};
    normalizeAndScale(s, jobWith(L"P0", 50));  // level untouched, only the volume
    EXPECT_DOUBLE_EQ(s[1], -1000.0);

    s = {1000, -2000};
    normalizeAndScale(s, jobWith(L"P150"));  // acts as 100
    EXPECT_DOUBLE_EQ(s[1], -16384.0);

    s = {1000, -2000};
    normalizeAndScale(s, jobWith(L"P-5"));  // no normalisation
    EXPECT_DOUBLE_EQ(s[1], -2000.0);

    s = {2000};
    normalizeAndScale(s, jobWith(L"B0"));  // default strength 86
    EXPECT_NEAR(s[0], 2000.0 * std::pow(16384.0 / 2000.0, 0.86), 1e-9);
}

TEST(Normalisation, VolumeIsClampedAndOutputLimited) {
    std::vector<double> s{16384};
    normalizeAndScale(s, jobWith(L"P100", 300));  // applied as 200
    EXPECT_DOUBLE_EQ(s[0], 32767.0);
    s = {16384};
    normalizeAndScale(s, jobWith(L"P100", -10));
    EXPECT_DOUBLE_EQ(s[0], 0.0);
    s = {0, 0};
    normalizeAndScale(s, jobWith(L"P100"));  // silence stays silent, no NaN
    EXPECT_DOUBLE_EQ(s[0], 0.0);
    EXPECT_DOUBLE_EQ(s[1], 0.0);
}

TEST(Quiet, ByFlagOrStandardOutput) {
    RenderJob job;
    EXPECT_FALSE(isQuietJob(job));
    job.outFile = L"-";
    EXPECT_TRUE(isQuietJob(job));
    job.outFile = L"x.wav";
    job.flags = L"n";
    EXPECT_TRUE(isQuietJob(job));
}

TEST(VolumeEnvelope, InterpolatesPairsAfterTheLeadIn) {
    RenderJob job;
    job.fileOffset = 0;
    // 10 ms up to 100 %, then 10 ms down to 0 %; the unpaired last element is ignored.
    job.volumeEnvelope = std::vector<float>{5, 10, 100, 10, 0, 99};
    std::vector<double> s(30, 1000.0);
    applyVolumeEnvelope(s, job, 1000);  // one sample per millisecond
    EXPECT_DOUBLE_EQ(s[0], 0.0);
    EXPECT_DOUBLE_EQ(s[5], 500.0);
    EXPECT_DOUBLE_EQ(s[10], 1000.0);
    EXPECT_DOUBLE_EQ(s[15], 500.0);
    EXPECT_DOUBLE_EQ(s[20], 0.0);
    // Past the last pair the last segment's line continues, limited to the 16-bit range.
    EXPECT_DOUBLE_EQ(s[25], -500.0);
}

TEST(VolumeEnvelope, CountBeyondTheListIsLimited) {
    RenderJob job;
    job.volumeEnvelope = std::vector<float>{1000, 5, 100};
    std::vector<double> s(10, 100.0);
    applyVolumeEnvelope(s, job, 1000);
    EXPECT_DOUBLE_EQ(s[5], 100.0);
}

}  // namespace
}  // namespace kestrand
