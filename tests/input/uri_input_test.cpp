#include <gtest/gtest.h>

#include "input/load_input.h"
#include "input/loaders.h"
#include "platform/text.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::ScopedEnvironment;
using test::TempDir;

void writeText(const std::filesystem::path& path, const std::string& text) {
    test::writeFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// A stand-in downloader: it gets the .uri file's path, notes that it ran, and
// writes the recording kept beside it as <name>.src to standard output.
std::filesystem::path downloader(const TempDir& dir) {
    return test::writeScript(dir / "webget",
                             "echo \"$#:$1\" >> '" + (dir / "downloads.txt").string() + "'\ncat \"${1%.uri}.src\"\n");
}

// A stand-in MP3 decoder honouring the table's command line: it writes the
// file it is given, which in these tests already holds a WAV stream.
std::filesystem::path catDecoder(const TempDir& dir, const std::string& name) {
    return test::writeScript(dir / name, "echo \"$@\" >> '" + (dir / "decodes.txt").string() + "'\ncat \"$3\"\n");
}

const std::vector<std::uint8_t> kRecording = test::makeWaveImage(1, 1, 44100, 16, {1, 2, 3, 4, 5, 6});

struct UriTest : ::testing::Test {
    TempDir dir;
    ScopedEnvironment webget{"webgetpath", downloader(dir).string()};
    ScopedEnvironment lame{"lamepath", catDecoder(dir, "lame").string()};
    ScopedEnvironment flac{"flacpath", std::nullopt};
    std::string downloads() const { return test::readFileText(dir / "downloads.txt"); }
};

TEST_F(UriTest, DownloadsOnceThenDecodesTheLocalCopy) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    writeText(dir / "song.uri", "http://example.org/voice/a.MP3");
    test::writeFileBytes(dir / "song.src", kRecording);
    const std::wstring uri = widen((dir / "song.uri").string());
    ASSERT_EQ(chooseLoader(uri), LoaderKind::Uri);

    auto sample = loadInput(uri, 2);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 0, 0, 0, 0}));
    EXPECT_EQ(test::readFileBytes(dir / "song.uob"), kRecording);
    EXPECT_EQ(downloads(), "1:" + (dir / "song.uri").string() + "\n");
    EXPECT_EQ(test::readFileText(dir / "decodes.txt"), "--decode --mp3input " + (dir / "song.uob").string() + " -\n");

    // The local copy exists now: the downloader is not started again.
    sample = loadInput(uri, 2);
    ASSERT_TRUE(sample);
    EXPECT_EQ(downloads(), "1:" + (dir / "song.uri").string() + "\n");
}

TEST_F(UriTest, ExistingLocalCopyIsUsedWithoutDownloader) {
    writeText(dir / "x.uri", "http://example.org/x.wav");
    test::writeFileBytes(dir / "x.uob", kRecording);
    const auto sample = loadUriInput(widen((dir / "x.uri").string()), 1);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->dataBytes, 6u);
    EXPECT_EQ(downloads(), "");
}

TEST_F(UriTest, TheLineIsComparedAsRead) {
    test::writeFileBytes(dir / "a.src", kRecording);
    writeText(dir / "a.uri", "http://example.org/a.mp3\n");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loadUriInput(widen((dir / "a.uri").string()), 0));
    writeText(dir / "b.uri", "http://example.org/b.ogg");
    EXPECT_FALSE(loadUriInput(widen((dir / "b.uri").string()), 0));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(UriTest, FlacRecordingNeedsFlacpath) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    writeText(dir / "f.uri", "http://example.org/f.flac");
    test::writeFileBytes(dir / "f.uob", kRecording);
    EXPECT_FALSE(loadUriInput(widen((dir / "f.uri").string()), 0));
    ScopedEnvironment withFlac("flacpath", test::writeScript(dir / "flac", "cat \"$3\"").string());
    const auto sample = loadUriInput(widen((dir / "f.uri").string()), 0);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->dataBytes, 6u);
}

TEST_F(UriTest, FailuresLeaveNoLocalCopyBehind) {
    // No "." in the path.
    EXPECT_FALSE(loadUriInput(widen((dir / "plain").string()), 0));
    // The downloader delivers nothing: the empty copy is removed so the next render retries.
    writeText(dir / "empty.uri", "http://example.org/e.mp3");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loadUriInput(widen((dir / "empty.uri").string()), 0));
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.uob"));
    // No webgetpath: nothing is downloaded, the missing copy fails to decode.
    ScopedEnvironment none("webgetpath", std::nullopt);
    writeText(dir / "n.uri", "http://example.org/n.wav");
    EXPECT_FALSE(loadUriInput(widen((dir / "n.uri").string()), 0));
    // The .uri file itself is missing.
    EXPECT_FALSE(loadUriInput(widen((dir / "gone.uri").string()), 0));
}

TEST_F(UriTest, FirstLineLimitCountsCharacters) {
    writeText(dir / "long.uri", "http://example.org/" + std::string(1100, 'x') + ".wav");
    test::writeFileBytes(dir / "long.uob", kRecording);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loadUriInput(widen((dir / "long.uri").string()), 0));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("1023"), std::string::npos);
    // 1000 Japanese characters are 3000 bytes, and within the limit.
    std::string name;
    for (int i = 0; i < 1000; ++i) name += "\xE3\x81\x82";  // U+3042
    writeText(dir / "kana.uri", "http://example.org/" + name + ".wav");
    test::writeFileBytes(dir / "kana.uob", kRecording);
    EXPECT_TRUE(loadUriInput(widen((dir / "kana.uri").string()), 0));
}

TEST_F(UriTest, DownloadToFileCopiesTheOutput) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    const auto source = dir / "blob";
    std::vector<std::uint8_t> blob(20000);
    for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>(i % 251);
    test::writeFileBytes(source, blob);
    const auto target = widen((dir / "copy").string());
    EXPECT_EQ(downloadToFile({L"cat", widen(source.string())}, target), blob.size());
    EXPECT_EQ(test::readFileBytes(dir / "copy"), blob);
    EXPECT_EQ(downloadToFile({widen((dir / "missing-program").string())}, target), 0u);
    // A program that writes nothing leaves no file, not an empty one.
    EXPECT_EQ(downloadToFile({L"true"}, widen((dir / "empty").string())), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "empty"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(downloadToFile({L"cat", widen(source.string())}, widen((dir / "no" / "such" / "dir").string())), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "失敗\n");
}

TEST_F(UriTest, LocalNameTakesTheUrlsExtension) {
    writeText(dir / "r.uri", "http://example.org/take.one.ogg\n");
    EXPECT_EQ(uriLocalName(widen((dir / "r.uri").string())), widen((dir / "r.ogg").string()));

    writeText(dir / "bad.uri", "no-extension-here");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(uriLocalName(widen((dir / "bad.uri").string())));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "loadFromUri2() : URL Error.\n");

    const auto noDot = dir / "nodot";
    writeText(noDot, "http://example.org/a.mp3");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(uriLocalName(widen(noDot.string())));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "loadFromUri2() : Filename Error.\n");
}

}  // namespace
}  // namespace kestrand
