// Loading compressed voice files through the real decoder programs. Each test
// makes its compressed file from a bundled WAV sample and skips, with a
// message, when a program it needs is not installed.
#include <gtest/gtest.h>

#include "audio/wave_reader.h"
#include "input/load_input.h"
#include "input/loaders.h"
#include "platform/text.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::ScopedEnvironment;
using test::TempDir;

#define REQUIRE_PROGRAM(variable, name)            \
    const auto variable = test::findProgram(name); \
    if (!variable) GTEST_SKIP() << "the program " name " is not installed"

TEST(RealDecoders, FlacLoadsToExactlyTheWavItWasMadeFrom) {
    REQUIRE_PROGRAM(flac, "flac");
    TempDir dir;
    // A name that a shell would take apart: it must reach flac whole.
    const auto input = dir / "a \"b\" $(x) `y`; c.flac";
    ASSERT_TRUE(
        test::runProgram({flac->string(), "-s", "-f", "-o", input.string(), test::voiceSample("a.wav").string()}));
    ScopedEnvironment variable("flacpath", flac->string());
    const auto wave = test::loadVoiceWave("a.wav", 4096);
    for (const auto& sample : {loadByExtension(widen(input.string()), 4096), loadInput(widen(input.string()), 4096),
                               decodeFlacFile(widen(input.string()), 4096)}) {
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->dataBytes, wave.dataBytes);
        EXPECT_EQ(sample->bytes, wave.bytes);
        EXPECT_EQ(sample->info, wave.info);
    }
}

TEST(RealDecoders, Mp3DecodesThroughLame) {
    REQUIRE_PROGRAM(lame, "lame");
    TempDir dir;
    const auto input = dir / "a.mp3";
    ASSERT_TRUE(test::runProgram({lame->string(), "--quiet", test::voiceSample("a.wav").string(), input.string()}));
    ScopedEnvironment variable("lamepath", lame->string());
    const auto wave = test::loadVoiceWave("a.wav", 0);
    const auto sample = loadInput(widen(input.string()), 16);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->info.channels, 1);
    EXPECT_EQ(sample->info.samplesPerSec, 44100u);
    EXPECT_EQ(sample->info.bitsPerSample, 16);
    // The decoder keeps the length within a few coder frames.
    EXPECT_NEAR(static_cast<double>(sample->dataBytes), static_cast<double>(wave.dataBytes), 2 * 2 * 2304.0);
    EXPECT_EQ(sample->bytes.size(), sample->dataBytes + 16u * 2u);
}

// Debian's oggdec has no --stdout: a wrapper of ours honours the table's command line.
std::filesystem::path oggdecWrapper(const TempDir& dir, const std::filesystem::path& oggdec) {
    return test::writeScript(dir / "oggdec-stdout",
                             "[ \"$1\" = --stdout ] || exit 2\nexec '" + oggdec.string() + "' -Q -o - \"$2\"\n");
}

TEST(RealDecoders, OggVorbisDecodesThroughTheWrapper) {
    REQUIRE_PROGRAM(oggdec, "oggdec");
    REQUIRE_PROGRAM(oggenc, "oggenc");
    TempDir dir;
    const auto input = dir / "a.OGG";
    ASSERT_TRUE(test::runProgram({oggenc->string(), "-Q", "-o", input.string(), test::voiceSample("a.wav").string()}));
    ScopedEnvironment variable("oggdecpath", oggdecWrapper(dir, *oggdec).string());
    const auto wave = test::loadVoiceWave("a.wav", 0);
    const auto sample = loadInput(widen(input.string()), 0);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->dataBytes, wave.dataBytes);
    EXPECT_EQ(sample->info, wave.info);

    // The bundled Ogg sample too.
    const auto bundled = loadInput(widen(test::voiceSample("ma.ogg").string()), 0);
    ASSERT_TRUE(bundled);
    EXPECT_GT(bundled->dataBytes, 1000u);
    EXPECT_EQ(bundled->info.bitsPerSample, 16);
}

TEST(RealDecoders, AacAndM4aDecodeThroughFaad) {
    REQUIRE_PROGRAM(faad, "faad");
    REQUIRE_PROGRAM(ffmpeg, "ffmpeg");  // the AAC encoder
    TempDir dir;
    ScopedEnvironment faadVariable("faadpath", faad->string());
    ScopedEnvironment neroVariable("nerodecpath", std::nullopt);
    const auto wave = test::loadVoiceWave("a.wav", 0);
    for (const char* name : {"a.m4a", "a.aac"}) {
        const auto input = dir / name;
        ASSERT_TRUE(test::runProgram({ffmpeg->string(), "-loglevel", "error", "-y", "-i",
                                      test::voiceSample("a.wav").string(), "-c:a", "aac", input.string()}));
        const auto sample = loadInput(widen(input.string()), 8);
        ASSERT_TRUE(sample) << name;
        // faad -w writes a mono stream as two channels and pads to whole coder frames.
        EXPECT_EQ(sample->info.channels, 2);
        EXPECT_EQ(sample->info.blockAlign, 4);
        EXPECT_EQ(sample->info.samplesPerSec, 44100u);
        EXPECT_GE(sample->dataBytes, wave.dataBytes * 2 - 4096u) << name;
        EXPECT_LE(sample->dataBytes, wave.dataBytes * 2 + 4 * 4096u) << name;
        EXPECT_EQ(sample->bytes.size(), sample->dataBytes + 8u * 4u);
    }
}

}  // namespace
}  // namespace kestrand
