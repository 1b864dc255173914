// Parameter lines from a stream: splitting, quotes, line ends and hostile text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/parameter_job.h"

namespace kestrand {
namespace {

// A job read from the given bytes through a real stream.
RenderJob readFrom(const std::string& bytes) {
    std::FILE* stream = std::tmpfile();
    EXPECT_NE(stream, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::rewind(stream);
    RenderJob job = newRenderJob();
    readParameterLines(job, stream);
    std::fclose(stream);
    return job;
}

TEST(ParameterLines, KeysValuesQuotesAndLineEnds) {
    const RenderJob job = readFrom(
        "voicefile=voice/a.wav\r\n"
        "outfile=\"C:/my notes/out.wav\"\n"
        "cachefile=\"half quoted\n"
        "targetfile=\"\n"
        "a line without the sign\n"
        " volume=10\n"  // keys are not trimmed
        "length=1=2\n"  // the key ends at the first "="
        "tone=A4\r\r\n"
        "breathy=10\n"
        "breathy=70");  // a later line overrides; no final line feed
    EXPECT_EQ(job.voiceFile, L"voice/a.wav");
    EXPECT_EQ(job.outFile, L"C:/my notes/out.wav");
    EXPECT_EQ(job.cacheFile, L"\"half quoted");
    EXPECT_EQ(job.targetFile, L"\"");
    EXPECT_EQ(job.volume, 100);
    EXPECT_EQ(job.length, 1);
    EXPECT_FLOAT_EQ(job.tone, 440);
    EXPECT_EQ(job.breathy, 70);
}

TEST(ParameterLines, ByteOrderMarkAndUtf8Text) {
    const RenderJob job = readFrom("\xEF\xBB\xBFoutfile=\xE3\x81\x82.wav\nfo2=x\n");
    EXPECT_EQ(job.outFile, L"\u3042.wav");
    // A mark anywhere but at the start belongs to the key.
    const RenderJob later = readFrom("tone=A4\n\xEF\xBB\xBFvolume=5\n");
    EXPECT_EQ(later.volume, 100);
}

TEST(ParameterLines, LongLinesAreReadInPieces) {
    // The first piece holds 4095 characters; the rest of the line is read as
    // a piece of its own, which here is a line of its own.
    std::string path(5000, 'p');
    const RenderJob job = readFrom("outfile=" + path + "\n");
    EXPECT_EQ(job.outFile, std::wstring(4095 - 8, L'p'));

    const RenderJob split = readFrom("pitchcomp=" + std::string(4085, 'x') + "volume=42\n");
    EXPECT_EQ(split.pitchComp, std::wstring(4085, L'x'));
    EXPECT_EQ(split.volume, 42);  // the second piece starts with "volume=42"
}

TEST(ParameterLines, HostileBytesAreHarmless) {
    std::string noise;
    for (int i = 0; i < 3000; ++i) noise.push_back(static_cast<char>((i * 37) % 256));
    const RenderJob job = readFrom("outfile=\xFF\xFE\xC3(\n" + noise + "\nflags=\x80n\nvolume\n=\n==\n");
    ASSERT_TRUE(job.outFile);
    EXPECT_EQ(job.outFile->size(), 4u);  // three bad bytes become replacement characters, "(" stays
    ASSERT_TRUE(job.flags);
    EXPECT_EQ(job.flags->back(), L'n');

    const RenderJob withZero = readFrom(std::string("outfile=ab\0cd\n", 14));
    EXPECT_EQ(withZero.outFile, L"ab");  // a line ends at a zero character

    RenderJob untouched = newRenderJob();
    readParameterLines(untouched, nullptr);  // a missing stream reads nothing
    EXPECT_EQ(untouched.volume, 100);
    EXPECT_EQ(readFrom("").volume, 100);
}

}  // namespace
}  // namespace kestrand
