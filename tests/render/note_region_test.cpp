#include "render/note_region.h"

#include <gtest/gtest.h>

namespace kestrand {
namespace {

TEST(VoiceRegion, LengthRules) {
    RenderJob job;
    job.voiceOffset = 100.7f;
    // 1 s of sample: totalMs 1000.
    VoiceEntry region = makeVoiceRegion(job, 44100, 44100);
    EXPECT_EQ(region.offset, 100);
    EXPECT_EQ(region.length, 1000);  // 0 keeps the whole sample, not reduced by the offset
    job.voiceLength = -200.5f;
    region = makeVoiceRegion(job, 44100, 44100);
    EXPECT_EQ(region.length, static_cast<int>(1000.0f - 200.5f - 100.7f));
    job.voiceLength = 300.9f;
    job.voiceFixed1 = 40.5f;
    job.voiceFixed2 = -3;
    region = makeVoiceRegion(job, 44100, 44100);
    EXPECT_EQ(region.length, 300);
    EXPECT_EQ(region.fix1, 40);
    EXPECT_EQ(region.fix2, 0);
    // Long samples do not overflow the millisecond count.
    region = makeVoiceRegion(RenderJob{}, 10'000'000, 44100);
    EXPECT_EQ(region.length, 226757);
}

TEST(VoiceRegion, NoteLength) {
    RenderJob job;
    VoiceEntry region;
    region.length = 400;
    EXPECT_EQ(noteLengthSamples(job, region, 44100), 17640);
    job.lengthRequire = 1000;
    EXPECT_EQ(noteLengthSamples(job, region, 44100), 44100);
    EXPECT_EQ(noteLengthSamples(job, region, 96000), 96000);
    job.length = 500;
    job.fileOffset = 100;
    EXPECT_EQ(noteLengthSamples(job, region, 44100), 26460);
    job.length = 1e9f;
    EXPECT_GT(noteLengthSamples(job, region, 44100), 3600.0 * 44100);
}

}  // namespace
}  // namespace kestrand
