#include "input/decoder_table.h"

#include <gtest/gtest.h>

#include "input/loaders.h"
#include "platform/text.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::ScopedEnvironment;
using test::TempDir;

// Unsets every decoder variable for the test, so the machine's own settings do not leak in.
struct NoDecoders {
    ScopedEnvironment flac{"flacpath", std::nullopt};
    ScopedEnvironment lame{"lamepath", std::nullopt};
    ScopedEnvironment ogg{"oggdecpath", std::nullopt};
    ScopedEnvironment faad{"faadpath", std::nullopt};
    ScopedEnvironment nero{"nerodecpath", std::nullopt};
};

// A stand-in decoder: appends its name, argument count and arguments (one per
// line) to `log`, then writes a canonical stream of `dataBytes` bytes.
std::filesystem::path standIn(const TempDir& dir, const std::string& name, std::size_t dataBytes) {
    const auto stream = dir / (name + ".stream");
    test::writeFileBytes(stream, test::makeWaveImage(1, 1, 44100, 16, std::vector<std::uint8_t>(dataBytes, 9)));
    const auto log = dir / "log.txt";
    return test::writeScript(dir / name, "{ echo " + name + " \"$#\"; for a in \"$@\"; do echo \"$a\"; done; } >> '" +
                                             log.string() + "'\ncat '" + stream.string() + "'\n");
}

std::string logOf(const TempDir& dir) { return test::readFileText(dir / "log.txt"); }

TEST(DecoderTable, TemplatesAsCommandLineAndAsArguments) {
    ASSERT_EQ(decoderRows().size(), 7u);
    EXPECT_EQ(decoderRows()[0].extension, L".flac");
    EXPECT_EQ(decoderRows()[5].variable, L"nerodecpath");
    EXPECT_EQ(formatCommandTemplate(decoderRows()[0].commandTemplate, L"/bin/flac", L"/v/a b.flac"),
              L"\"/bin/flac\" --decode --stdout \"/v/a b.flac\"");
    EXPECT_EQ(formatCommandTemplate(decoderRows()[1].commandTemplate, L"L", L"P"),
              L"\"L\" --decode --mp3input \"P\" -");
    EXPECT_EQ(formatCommandTemplate(decoderRows()[6].commandTemplate, L"N", L"P"), L"\"N\" -if \"P\" -of -");

    using Args = std::vector<std::wstring>;
    const std::wstring odd = L"a \"q\" $x;`y` %s.mp3";
    EXPECT_EQ(commandTemplateArguments(decoderRows()[1].commandTemplate, L"/bin/lame", odd),
              (Args{L"/bin/lame", L"--decode", L"--mp3input", odd, L"-"}));
    EXPECT_EQ(commandTemplateArguments(decoderRows()[2].commandTemplate, L"o", L"p"), (Args{L"o", L"--stdout", L"p"}));
    EXPECT_EQ(commandTemplateArguments(decoderRows()[3].commandTemplate, L"f", L"p"), (Args{L"f", L"-w", L"p"}));
    EXPECT_EQ(commandTemplateArguments(decoderRows()[5].commandTemplate, L"n", L"p"),
              (Args{L"n", L"-if", L"p", L"-of", L"-"}));
}

TEST(DecoderTable, RowsAreChosenByExtensionAndSetVariable) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    TempDir dir;
    NoDecoders none;
    const auto faad = standIn(dir, "faad", 10);
    const auto nero = standIn(dir, "nero", 20);
    const auto input = test::widePath(dir / "x.AAC");
    {
        ScopedEnvironment n("nerodecpath", nero.string());
        const auto sample = loadByExtension(input, 0);
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->dataBytes, 20u);
        EXPECT_EQ(logOf(dir), "nero 4\n-if\n" + (dir / "x.AAC").string() + "\n-of\n-\n");
        ScopedEnvironment f("faadpath", faad.string());
        const auto both = loadByExtension(test::widePath(dir / "y.m4a"), 0);
        ASSERT_TRUE(both);
        EXPECT_EQ(both->dataBytes, 10u);
    }
    EXPECT_NE(logOf(dir).find("faad 2\n-w\n" + (dir / "y.m4a").string() + "\n"), std::string::npos);
}

TEST(DecoderTable, UnsetVariableOrUnknownExtensionFailsSilently) {
    TempDir dir;
    NoDecoders none;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loadByExtension(test::widePath(dir / "song.FLAC"), 4));
    EXPECT_FALSE(loadByExtension(test::widePath(dir / "noextension"), 4));
    EXPECT_FALSE(loadByExtension(test::widePath(dir / "a.xyz"), 4));
    EXPECT_FALSE(decodeMp3File(test::widePath(dir / "a.mp3"), 4));
    EXPECT_FALSE(decodeFlacFile(test::widePath(dir / "a.flac"), 4));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(DecoderTable, WavFilesGoToTheWaveReaderWithTailInFrames) {
    TempDir dir;
    NoDecoders none;
    test::writeFileBytes(dir / "s.WAV", test::makeWaveImage(1, 2, 8000, 16, {1, 2, 3, 4}));
    const auto sample = loadByExtension(test::widePath(dir / "s.WAV"), 2);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(DecoderTable, FileNamesReachTheDecoderAsOneArgumentAndStartNothingElse) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    TempDir dir;
    NoDecoders none;
    const auto flac = standIn(dir, "flac", 30);
    ScopedEnvironment f("flacpath", flac.string());
    const std::string name = "we\"ird 'q' $(touch pwned1); `touch pwned2` & touch pwned3 | x$HOME.flac";
    const auto sample = loadByExtension(widen((dir / name).string()), 0);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->dataBytes, 30u);
    EXPECT_EQ(logOf(dir), "flac 3\n--decode\n--stdout\n" + (dir / name).string() + "\n");
    for (const char* marker : {"pwned1", "pwned2", "pwned3"}) {
        EXPECT_FALSE(std::filesystem::exists(dir / marker)) << marker;
        EXPECT_FALSE(std::filesystem::exists(marker)) << marker;
    }
}

TEST(DecoderTable, OverlongCommandsAreRefusedNotCut) {
    TempDir dir;
    NoDecoders none;
    const auto flac = standIn(dir, "flac", 30);
    ScopedEnvironment f("flacpath", flac.string());
    const std::string longName(600, 'n');
    testing::internal::CaptureStderr();
    const auto sample = loadByExtension(widen((dir / (longName + ".flac")).string()), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(sample);
    EXPECT_NE(err.find("525"), std::string::npos) << err;
    EXPECT_EQ(logOf(dir), "");  // the decoder was never started
}

TEST(DecoderTable, MissingDecoderProgramFailsWithoutCrash) {
    TempDir dir;
    NoDecoders none;
    ScopedEnvironment f("flacpath", (dir / "not-installed").string());
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loadByExtension(test::widePath(dir / "a.flac"), 0));
    testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace kestrand
