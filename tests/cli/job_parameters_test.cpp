// The key table of parameter jobs: names, exact-case aliases, value forms and defaults.
#include <gtest/gtest.h>

#include <cmath>

#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"
#include "cli/command_line.h"
#include "cli/parameter_job.h"

namespace kestrand {
namespace {

TEST(ParameterJob, DefaultsDifferFromTheCommandLine) {
    const auto job = newRenderJob();
    EXPECT_EQ(job.volume, 100);
    EXPECT_EQ(job.velocity1, 100);
    EXPECT_EQ(job.velocity2, 100);
    EXPECT_EQ(job.breathy, 40);
    EXPECT_EQ(job.alpha, 0);
    EXPECT_FALSE(job.flags);
    EXPECT_EQ(job.tone, 0);
    EXPECT_FALSE(job.voiceFile);
    EXPECT_FALSE(job.volumeEnvelope);
}

struct NumberKey {
    const wchar_t* key;
    float RenderJob::*field;
};

TEST(ParameterJob, NumberKeysAndTheirAliases) {
    const NumberKey keys[] = {
        {L"voiceoffset", &RenderJob::voiceOffset},
        {L"VOFF", &RenderJob::voiceOffset},
        {L"voicefixed1", &RenderJob::voiceFixed1},
        {L"Vfx1", &RenderJob::voiceFixed1},
        {L"voicefixed2", &RenderJob::voiceFixed2},
        {L"vfx2", &RenderJob::voiceFixed2},
        {L"VoiceLength", &RenderJob::voiceLength},
        {L"vlen", &RenderJob::voiceLength},
        {L"LENGTH_REQUIRE", &RenderJob::lengthRequire},
        {L"lo", &RenderJob::lengthRequire},
        {L"Length", &RenderJob::length},
        {L"l", &RenderJob::length},
        {L"volume", &RenderJob::volume},
        {L"v", &RenderJob::volume},
        {L"velocity1", &RenderJob::velocity1},
        {L"VEL1", &RenderJob::velocity1},
        {L"velocity2", &RenderJob::velocity2},
        {L"vel2", &RenderJob::velocity2},
        {L"modulation", &RenderJob::modulation},
        {L"Mod", &RenderJob::modulation},
        {L"gender", &RenderJob::gender},
        {L"GEN", &RenderJob::gender},
        {L"G", &RenderJob::gender},
        {L"breathy", &RenderJob::breathy},
        {L"bre", &RenderJob::breathy},
        {L"Alpha", &RenderJob::alpha},
        {L"tempo", &RenderJob::tempo},
        {L"T", &RenderJob::tempo},
        {L"fileoffset", &RenderJob::fileOffset},
        {L"trim", &RenderJob::fileOffset},
        {L"overlap", &RenderJob::overlap},
        {L"OVR", &RenderJob::overlap},
        {L"endpos", &RenderJob::endPos},
    };
    for (const NumberKey& k : keys) {
        RenderJob job = newRenderJob();
        EXPECT_TRUE(setJobParameter(job, k.key, L"  -12.5e1x")) << k.key;
        EXPECT_FLOAT_EQ(job.*k.field, -125.0f) << k.key;
        EXPECT_TRUE(setJobParameter(job, k.key, L"abc"));
        EXPECT_EQ(job.*k.field, 0.0f) << k.key;  // no number reads as 0
    }
}

TEST(ParameterJob, ShortAliasesMatchOnlyInTheirOwnCase) {
    for (const wchar_t* key : {L"LO", L"Lo", L"L", L"V", L"g", L"n", L"s", L"unknown", L"", L"voicefile "}) {
        RenderJob job = newRenderJob();
        const RenderJob before = job;
        EXPECT_FALSE(setJobParameter(job, key, L"300")) << key;
        EXPECT_EQ(job.lengthRequire, before.lengthRequire);
        EXPECT_EQ(job.length, before.length);
        EXPECT_EQ(job.volume, before.volume);
        EXPECT_EQ(job.gender, before.gender);
        EXPECT_EQ(job.samples, before.samples);
    }
    RenderJob job = newRenderJob();
    setJobParameter(job, L"t", L"120");
    setJobParameter(job, L"T", L"90");
    EXPECT_EQ(job.tone, 120);
    EXPECT_EQ(job.tempo, 90);
}

TEST(ParameterJob, TextKeysCopyAndTheLaterValueWins) {
    RenderJob job = newRenderJob();
    setJobParameter(job, L"VoiceFile", L"a.wav");
    setJobParameter(job, L"fi", L"b.wav");
    setJobParameter(job, L"fo", L"out.wav");
    setJobParameter(job, L"PitchComp", L"xyz");
    setJobParameter(job, L"comp", L"uvw");
    setJobParameter(job, L"cachefile", L"c.wav");
    setJobParameter(job, L"ft", L"song.wav");
    EXPECT_EQ(job.voiceFile, L"b.wav");
    EXPECT_EQ(job.outFile, L"out.wav");
    EXPECT_EQ(job.pitchComp, L"uvw");
    EXPECT_EQ(job.cacheFile, L"c.wav");
    EXPECT_EQ(job.targetFile, L"song.wav");
    setJobParameter(job, L"outfile", L"");
    EXPECT_EQ(job.outFile, L"");  // an empty value is still a text
}

TEST(ParameterJob, ToneVelocitySwitchesFlagsAndCounts) {
    RenderJob job = newRenderJob();
    setJobParameter(job, L"tone", L"A4");
    EXPECT_FLOAT_EQ(job.tone, 440.0f);
    setJobParameter(job, L"t", L"C4");
    EXPECT_NEAR(job.tone, 261.63f, 0.01f);
    setJobParameter(job, L"tone", L"a4");  // a lower-case letter is read as a number
    EXPECT_EQ(job.tone, 0.0f);
    setJobParameter(job, L"tone", L"1.5");
    EXPECT_FLOAT_EQ(job.tone, 1.5f);
    setJobParameter(job, L"tone", L"H4");
    EXPECT_EQ(job.tone, 0.0f);

    setJobParameter(job, L"velocity", L"150");
    EXPECT_EQ(job.velocity1, 150);
    EXPECT_EQ(job.velocity2, 150);

    setJobParameter(job, L"NoFormant", L"0");
    setJobParameter(job, L"REV", L"");
    EXPECT_EQ(job.noFormant, 1);  // the value is ignored
    EXPECT_EQ(job.reverse, 1);
    RenderJob other = newRenderJob();
    setJobParameter(other, L"N", L"");
    setJobParameter(other, L"reverse", L"no");
    EXPECT_EQ(other.noFormant, 1);
    EXPECT_EQ(other.reverse, 1);

    setJobParameter(job, L"flags", L"");
    EXPECT_FALSE(job.flags);  // nothing appended to nothing
    setJobParameter(job, L"flags", L"B20");
    setJobParameter(job, L"FLAGS", L"P100");
    EXPECT_EQ(job.flags, L"B20P100");

    setJobParameter(job, L"samples", L"12.9");
    EXPECT_EQ(job.samples, 12);
    setJobParameter(job, L"S", L"99999999999");
    EXPECT_EQ(job.samples, 2147483647);

    setJobParameter(job, L"envelope", L"\"4,10,100,20,80");
    EXPECT_EQ(job.volumeEnvelope, (std::vector<float>{5, 4, 10, 100, 20, 80}));  // the count comes first
    setJobParameter(job, L"env", L"");
    EXPECT_EQ(job.volumeEnvelope, (std::vector<float>{0}));
}

TEST(ParameterJob, PitchBendPrefixes) {
    const std::wstring curve = L"AAABACAD#2#/w";
    RenderJob job = newRenderJob();
    setJobParameter(job, L"pitchbend", L"00," + curve);
    ASSERT_TRUE(job.pitchBend);
    EXPECT_EQ(job.pitchBend->values, decodePitchBend(curve)->values);

    setJobParameter(job, L"pit", L"B2," + curve);
    const auto cmp = decodePitchCodec(curve, 2, CodecMode::Cmp);
    EXPECT_EQ(job.pitchBend.has_value(), cmp.has_value());
    if (cmp) {
        EXPECT_EQ(job.pitchBend->values, cmp->values);
    }

    RenderJob fresh = newRenderJob();
    EXPECT_TRUE(setJobParameter(fresh, L"pitchbend", curve));  // no comma: accepted, nothing changes
    EXPECT_FALSE(fresh.pitchBend);
    setJobParameter(fresh, L"pitchbend", L"00,");  // an empty curve text gives no curve
    EXPECT_FALSE(fresh.pitchBend);
    setJobParameter(fresh, L"pitchbend", L",");
    setJobParameter(fresh, L"pitchbend", L"Z,AB");
    setJobParameter(fresh, L"pitchbend", L"\U0010FFFF,AB");
}

TEST(ParameterJob, IntensityForms) {
    const std::wstring curve = L"ABCDEFGH";
    RenderJob job = newRenderJob();
    setJobParameter(job, L"intensity", L"xy" + curve);  // the first two characters are skipped
    ASSERT_TRUE(job.intensity);
    EXPECT_EQ(job.intensity->values, decodePitchBend(curve)->values);

    const struct {
        std::wstring value;
        std::wstring text;
        int parameter;
        CodecMode mode;
    } coded[] = {
        {L"120*hff3," + curve, curve, 3, CodecMode::Hff},
        {L"*cmp2," + curve, curve, 2, CodecMode::Cmp},
        {L"*enc1," + curve, curve, 1, CodecMode::Enc},
        {L"*xyz1," + curve, curve, 1, CodecMode::Enc},           // an unknown name selects enc
        {L"*cmp12," + curve, L"," + curve, 12, CodecMode::Cmp},  // the text starts six after "*"
    };
    for (const auto& c : coded) {
        RenderJob fresh = newRenderJob();
        setJobParameter(fresh, L"int", c.value);
        const auto expected = decodePitchCodec(c.text, c.parameter, c.mode);
        ASSERT_EQ(fresh.intensity.has_value(), expected.has_value());
        if (expected) {
            EXPECT_EQ(fresh.intensity->values, expected->values);
        }
    }
    for (const wchar_t* absent : {L"x", L"", L"*hff3,", L"*hff", L"ab*"}) {
        setJobParameter(job, L"intensity", absent);
        EXPECT_FALSE(job.intensity) << absent;
    }
}

}  // namespace
}  // namespace kestrand
