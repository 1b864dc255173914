#include "audio/aiff_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "audio/wave_reader.h"
#include "platform/text.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::TempDir;

using test::AiffSpec;
using test::makeAiff;

struct ReadResult {
    std::optional<LoadedSample> sample;
    std::string out;
    std::string err;
};

ReadResult readBytes(const std::vector<std::uint8_t>& file, std::int32_t tail = 4) {
    TempDir dir;
    const auto path = dir / "x.aif";
    test::writeFileBytes(path, file);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ReadResult result;
    result.sample = readAiffBytes(test::widePath(path), tail);
    result.out = testing::internal::GetCapturedStdout();
    result.err = testing::internal::GetCapturedStderr();
    return result;
}

std::vector<std::uint8_t> littleEndian(const std::vector<std::int16_t>& samples, std::size_t zeroSamples) {
    std::vector<std::uint8_t> out;
    for (const std::int16_t s : samples) appendU16(out, static_cast<std::uint16_t>(s));
    out.insert(out.end(), zeroSamples * 2, 0);
    return out;
}

TEST(AiffReader, SampleRateFromExtendedValue) {
    EXPECT_EQ(aiffSampleRate(test::kAiffRate44100), 44100u);
    const std::uint8_t rate24000[10] = {0x40, 0x0D, 0xBB, 0x80, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(aiffSampleRate(rate24000), 24000u);
    // The sign bit and the low mantissa bits do not count.
    const std::uint8_t signedRate[10] = {0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0xFF, 0xFF};
    EXPECT_EQ(aiffSampleRate(signedRate), 44100u);
    // Exponents whose shift falls outside a 32-bit word give 0 rather than an undefined shift.
    const std::uint8_t tiny[10] = {0x3F, 0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0};
    const std::uint8_t huge[10] = {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(aiffSampleRate(tiny), 0u);
    EXPECT_EQ(aiffSampleRate(huge), 0u);
}

TEST(AiffReader, MonoSampleMatchesTheSameSoundReadAsWav) {
    const auto wavPath = test::voiceSample("a.wav");
    const auto wave = readWaveBytes(test::widePath(wavPath), 16);
    ASSERT_TRUE(wave);
    ASSERT_EQ(wave->info.bitsPerSample, 16);
    ASSERT_EQ(wave->info.channels, 1);
    AiffSpec spec;
    spec.frames = wave->dataBytes / 2;
    for (std::uint32_t i = 0; i < spec.frames; ++i) {
        spec.samples.push_back(loadS16(wave->bytes.data() + 2 * i));
    }
    const auto result = readBytes(makeAiff(spec), 16);
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.sample->bytes, wave->bytes);
    EXPECT_EQ(result.sample->dataBytes, wave->dataBytes);
    const WaveInfo& a = result.sample->info;
    const WaveInfo& w = wave->info;
    EXPECT_EQ(std::string(a.chunkId.data(), 4), "fmt ");
    EXPECT_EQ(a.chunkSize, 16u);
    EXPECT_EQ(a, w);
}

TEST(AiffReader, StereoIsInterleavedAndByteSwappedWithZeroTail) {
    AiffSpec spec;
    spec.channels = 2;
    spec.frames = 3;
    spec.samples = {1, -1, 256, -32768, 32767, 0x1234};
    spec.commExtra = 6;  // a longer COMM chunk: the extra bytes are skipped
    spec.otherChunkFirst = true;
    const auto result = readBytes(makeAiff(spec), 5);
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->bytes, littleEndian(spec.samples, 5 * 2));
    EXPECT_EQ(result.sample->dataBytes, 12u);
    EXPECT_EQ(result.sample->info.channels, 2);
    EXPECT_EQ(result.sample->info.blockAlign, 4);
    EXPECT_EQ(result.sample->info.avgBytesPerSec, 44100u * 4);
}

TEST(AiffReader, SoundStartsAfterTheOffsetField) {
    AiffSpec spec;
    spec.frames = 2;
    spec.ssndOffset = 6;
    spec.samples = {7, 8};
    const auto result = readBytes(makeAiff(spec), 1);
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->bytes, littleEndian({7, 8}, 1));
    EXPECT_EQ(result.sample->dataBytes, 4u);
}

TEST(AiffReader, OddChunksLoadWithAndWithoutTheirPadByte) {
    AiffSpec spec;
    spec.frames = 2;
    spec.samples = {7, 8};
    for (const bool pad : {true, false}) {
        SCOPED_TRACE(pad ? "pad" : "no pad");
        auto file = makeAiff(spec);
        // A 3-byte "NAME" chunk right after the form type.
        std::vector<std::uint8_t> name;
        test::putText(name, "NAME");
        test::putBig32(name, 3);
        test::putText(name, "abc");
        if (pad) name.push_back(0);
        file.insert(file.begin() + 12, name.begin(), name.end());
        const auto result = readBytes(file, 1);
        ASSERT_TRUE(result.sample);
        EXPECT_EQ(result.sample->bytes, littleEndian({7, 8}, 1));
    }
}

TEST(AiffReader, WithoutCommTheDefaultsGiveOnlyTheTail) {
    AiffSpec spec;
    spec.withComm = false;
    spec.samples = {1, 2, 3};
    const auto result = readBytes(makeAiff(spec), 3);
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->bytes, std::vector<std::uint8_t>(6, 0));
    EXPECT_EQ(result.sample->dataBytes, 0u);
    EXPECT_EQ(result.sample->info.channels, 1);
    EXPECT_EQ(result.sample->info.samplesPerSec, 44100u);
    EXPECT_EQ(result.sample->info.bitsPerSample, 16);
}

TEST(AiffReader, DeclaredSizesBeyondTheFileAreCutToWhatItHolds) {
    // COMM claims 2^32 - 1 frames, SSND holds three samples.
    AiffSpec spec;
    spec.frames = 0xFFFFFFFFu;
    spec.samples = {10, 20, 30};
    auto result = readBytes(makeAiff(spec), 2);
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->bytes, littleEndian({10, 20, 30}, 2));
    EXPECT_EQ(result.sample->dataBytes, 6u);

    // Both COMM and SSND claim far more than the file has.
    spec.ssndSizeOverride = 0xFFFFFFF0u;
    result = readBytes(makeAiff(spec), 2);
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->bytes, littleEndian({10, 20, 30}, 2));

    // A stereo file that ends inside a frame keeps whole frames only.
    AiffSpec stereo;
    stereo.channels = 2;
    stereo.frames = 100;
    stereo.samples = {1, 2, 3};
    result = readBytes(makeAiff(stereo), 1);
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->bytes, littleEndian({1, 2}, 2));
    EXPECT_EQ(result.sample->dataBytes, 4u);

    // SSND smaller than COMM's frame count: SSND wins.
    AiffSpec shortChunk;
    shortChunk.frames = 3;
    shortChunk.samples = {4, 5, 6};
    shortChunk.ssndSizeOverride = 8 + 4;
    result = readBytes(makeAiff(shortChunk), 0);
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->bytes, littleEndian({4, 5}, 0));
}

TEST(AiffReader, RejectsOtherFilesWithTheirMessages) {
    std::vector<std::uint8_t> riff;
    test::putText(riff, "RIFF");
    appendU32(riff, 4);
    test::putText(riff, "WAVE");
    auto result = readBytes(riff);
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(result.out, "最初のchunkはFROMでなければなりません 46464952 \n");

    AiffSpec aifc;
    aifc.form = "AIFC";
    result = readBytes(makeAiff(aifc));
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(result.out, "AIFFファイルではありません 43464941 \n");

    for (const std::uint16_t bits : {8, 24}) {
        AiffSpec other;
        other.bits = bits;
        other.frames = 2;
        other.samples = {1, 2};
        result = readBytes(makeAiff(other));
        EXPECT_FALSE(result.sample) << bits;
        EXPECT_EQ(result.out, "16ビットフォーマットではありません\n") << bits;
    }

    AiffSpec noSound;
    noSound.withSsnd = false;
    result = readBytes(makeAiff(noSound));
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(result.out, "");

    AiffSpec noChannels;
    noChannels.channels = 0;
    noChannels.frames = 5;
    noChannels.samples = {1};
    result = readBytes(makeAiff(noChannels));
    EXPECT_FALSE(result.sample);
    EXPECT_NE(result.err.find("channels"), std::string::npos);

    result = readBytes({'F', 'O'});
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(result.out.rfind("最初のchunkはFROMでなければなりません ", 0), 0u);
}

TEST(AiffReader, MissingFileSaysSo) {
    TempDir dir;
    testing::internal::CaptureStdout();
    const auto sample = readAiffBytes(test::widePath(dir / "missing.aiff"), 4);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ファイルが開けません\n");
    EXPECT_FALSE(sample);
}

TEST(AiffReader, TruncatedFilesNeverFail) {
    AiffSpec spec;
    spec.channels = 2;
    spec.frames = 4;
    spec.commExtra = 2;
    spec.samples = {1, 2, 3, 4, 5, 6, 7, 8};
    const auto full = makeAiff(spec);
    for (std::size_t length = 0; length < full.size(); ++length) {
        const std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        const auto result = readBytes(cut, 2);
        if (result.sample) {
            EXPECT_EQ(result.sample->bytes.size(), result.sample->dataBytes + 2u * 4u) << length;
            EXPECT_EQ(result.sample->dataBytes % 4, 0u) << length;
        }
    }
}

}  // namespace
}  // namespace kestrand
