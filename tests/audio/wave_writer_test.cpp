// Writing WAV files: the header fields, every depth's conversion with its
// limits, the depths without a conversion, and standard output.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "audio/wave_reader.h"
#include "audio/wave_writer.h"
#include "base/little_endian.h"
#include "support/audio_images.h"

namespace kestrand {
namespace {

using test::TempDir;

struct Written {
    long long result = 0;
    std::vector<std::uint8_t> file;
};

Written writeSamples(const std::vector<double>& samples, int bits, int formatTag, int channels = 1, int rate = 44100) {
    TempDir dir;
    Written w;
    w.result = writeWaveSamples(test::widePath(dir / "out.wav"), samples, bits, channels, rate, formatTag);
    w.file = test::readFileBytes(dir / "out.wav");
    return w;
}

std::vector<std::uint8_t> dataOf(const Written& w) {
    return w.file.size() < 44 ? std::vector<std::uint8_t>{}
                              : std::vector<std::uint8_t>(w.file.begin() + 44, w.file.end());
}

TEST(WaveWriteSamples, HeaderIsTheCanonical44Bytes) {
    const Written w = writeSamples({1.0, 2.0, 3.0}, 16, 1, 1, 22050);
    std::vector<std::uint8_t> expected = test::riffHeader(6 + 36);
    test::appendChunk(expected, "fmt ", test::formatBody(1, 1, 22050, 16));
    test::appendChunk(expected, "data", {1, 0, 2, 0, 3, 0});
    EXPECT_EQ(w.file, expected);
    EXPECT_EQ(w.result, 50);
}

TEST(WaveWriteSamples, SixteenBitsLimitsThenTruncates) {
    const Written w = writeSamples({40000.0, -40000.0, 2.75, -2.75, 32767.9, -32768.0}, 16, 1);
    std::vector<std::uint8_t> expected;
    for (int v : {32767, -32768, 2, -2, 32767, -32768}) appendU16(expected, static_cast<std::uint16_t>(v));
    EXPECT_EQ(dataOf(w), expected);
}

TEST(WaveWriteSamples, EightBitsRoundsToNearestStep) {
    const Written w = writeSamples({0.0, -32768.0, 32767.0, -1e9, 1e9, std::nan(""), 127.0, 128.0}, 8, 1);
    // 127 x 1/256 + 128.5 = 128.996 -> 128; 128 -> 129.0 -> 129.
    EXPECT_EQ(dataOf(w), (std::vector<std::uint8_t>{128, 0, 255, 0, 255, 128, 128, 129}));
    EXPECT_EQ(w.file[34], 8);
}

TEST(WaveWriteSamples, TwentyFourBitsKeepsTheFraction) {
    const Written w = writeSamples({100.5, 40000.0, -40000.0, -0.001}, 24, 1);
    EXPECT_EQ(dataOf(w), (std::vector<std::uint8_t>{0x80, 0x64, 0x00, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0, 0, 0}));
    EXPECT_EQ(w.file[32], 3);  // block align
}

TEST(WaveWriteSamples, ThirtyTwoBitsFloatOrInteger) {
    Written w = writeSamples({32767.5, -16383.75, 1e300}, 32, 3);
    auto data = dataOf(w);
    ASSERT_EQ(data.size(), 12u);
    EXPECT_EQ(loadF32(data.data()), 1.0f);
    EXPECT_EQ(loadF32(data.data() + 4), -0.5f);
    EXPECT_TRUE(std::isinf(loadF32(data.data() + 8)));  // floats are not limited
    EXPECT_EQ(loadU16(w.file.data() + 20), 3);

    // Any tag but 3 writes integers with tag 1.
    w = writeSamples({1.5, 40000.0, -40000.0, -0.00001}, 32, 0);
    data = dataOf(w);
    ASSERT_EQ(data.size(), 16u);
    EXPECT_EQ(loadS32(data.data()), 98304);
    EXPECT_EQ(loadS32(data.data() + 4), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(loadS32(data.data() + 8), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(loadS32(data.data() + 12), 0);
    EXPECT_EQ(loadU16(w.file.data() + 20), 1);
}

TEST(WaveWriteSamples, SixtyFourBitsDividesBy32767Point5) {
    const Written w = writeSamples({32767.5, -1000.25, 1e9}, 64, 3);
    const auto data = dataOf(w);
    ASSERT_EQ(data.size(), 24u);
    EXPECT_EQ(loadF64(data.data()), 1.0);
    EXPECT_EQ(loadF64(data.data() + 8), -1000.25 / 32767.5);
    EXPECT_EQ(loadF64(data.data() + 16), 1e9 / 32767.5);
    EXPECT_EQ(loadU16(w.file.data() + 20), 3);
    EXPECT_EQ(loadU16(w.file.data() + 32), 8);
    EXPECT_EQ(loadU32(w.file.data() + 28), 44100u * 8);
}

TEST(WaveWriteSamples, NoSamplesGivesA44ByteFile) {
    const Written w = writeSamples({}, 16, 1);
    ASSERT_EQ(w.file.size(), 44u);
    EXPECT_EQ(loadU32(w.file.data() + 4), 36u);
    EXPECT_EQ(loadU32(w.file.data() + 40), 0u);
    EXPECT_EQ(w.result, 44);
}

TEST(WaveWriteSamples, DepthsWithoutConversionWriteOnlyTheHeader) {
    // 12 bits: data bytes (12/8) x 3 = 3, RIFF size (3 x 12 / 8) + 36 = 40.
    Written w = writeSamples({1.0, 2.0, 3.0}, 12, 1);
    ASSERT_EQ(w.file.size(), 44u);
    EXPECT_EQ(loadU32(w.file.data() + 4), 40u);
    EXPECT_EQ(loadU32(w.file.data() + 40), 3u);
    EXPECT_EQ(loadU16(w.file.data() + 32), 1);
    EXPECT_EQ(loadU16(w.file.data() + 34), 12);
    EXPECT_EQ(w.result, 47);
    // 20 bits: data bytes 2 x 3 = 6, RIFF size (60 / 8 = 7) + 36 = 43.
    w = writeSamples({1.0, 2.0, 3.0}, 20, 1);
    ASSERT_EQ(w.file.size(), 44u);
    EXPECT_EQ(loadU32(w.file.data() + 4), 43u);
    EXPECT_EQ(loadU32(w.file.data() + 40), 6u);
}

TEST(WaveWriteSamples, StereoWritesInterleavedFrames) {
    const Written w = writeSamples({1.0, -1.0, 2.0, -2.0}, 16, 1, 2, 8000);
    EXPECT_EQ(loadU16(w.file.data() + 22), 2);
    EXPECT_EQ(loadU16(w.file.data() + 32), 4);
    EXPECT_EQ(loadU32(w.file.data() + 28), 32000u);
    EXPECT_EQ(loadU32(w.file.data() + 40), 8u);
    EXPECT_EQ(dataOf(w), (std::vector<std::uint8_t>{1, 0, 0xFF, 0xFF, 2, 0, 0xFE, 0xFF}));
}

TEST(WaveWriters, UncreatableFileGivesMinusOne) {
    TempDir dir;
    const auto path = test::widePath(dir / "no" / "such" / "dir.wav");
    EXPECT_EQ(writeWaveSamples(path, std::vector<double>{1.0}, 16, 1, 44100, 1), -1);
    const std::vector<std::uint8_t> bytes{1, 2};
    EXPECT_EQ(writeWaveBytes(path, bytes, 16, 1, 44100), -1);
}

TEST(WaveWriteBytes, WritesTheBufferUnchangedBehindTheHeader) {
    TempDir dir;
    const auto bytes = test::byteRange(10);
    EXPECT_EQ(writeWaveBytes(test::widePath(dir / "b.wav"), bytes, 16, 1, 44100), 0);
    EXPECT_EQ(test::readFileBytes(dir / "b.wav"), test::makeWaveImage(1, 1, 44100, 16, bytes));
    // Tag 3 at 32 bits; tag 1 at any other depth.
    EXPECT_EQ(writeWaveBytes(test::widePath(dir / "f.wav"), bytes, 32, 1, 44100), 0);
    EXPECT_EQ(test::readFileBytes(dir / "f.wav"), test::makeWaveImage(3, 1, 44100, 32, bytes));
    EXPECT_EQ(writeWaveBytes(test::widePath(dir / "e.wav"), bytes, 8, 1, 44100), 0);
    EXPECT_EQ(test::readFileBytes(dir / "e.wav"), test::makeWaveImage(1, 1, 44100, 8, bytes));
}

#ifndef _WIN32
// Runs writeWaveSamples("-") in a child whose standard output is a pipe and
// returns what came through. (The Windows programs' binary standard output is
// checked end to end by scripts/windows-check.sh.)
std::vector<std::uint8_t> writtenToStandardOutput(const std::vector<double>& samples, int bits, int tag) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        ::dup2(fds[1], STDOUT_FILENO);
        const long long n = writeWaveSamples(L"-", samples, bits, 1, 44100, tag);
        // Standard output must still be usable after the call.
        const bool open = std::fputc('!', stdout) != EOF && std::fflush(stdout) == 0;
        ::_exit(n > 0 && open ? 0 : 3);
    }
    ::close(fds[1]);
    std::vector<std::uint8_t> out;
    std::uint8_t buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0) out.insert(out.end(), buffer, buffer + got);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return out;
}

TEST(WaveWriteSamples, DashWritesTheSameBytesToStandardOutput) {
    const std::vector<double> samples{0.0, 1234.5, -32768.0, 99999.0};
    for (int bits : {8, 16, 24, 32, 64}) {
        SCOPED_TRACE(bits);
        const int tag = bits >= 32 ? 3 : 1;
        std::vector<std::uint8_t> expected = writeSamples(samples, bits, tag).file;
        expected.push_back('!');
        EXPECT_EQ(writtenToStandardOutput(samples, bits, tag), expected);
    }
}
#endif

TEST(WaveWriteSamples, SixteenBitRoundTripThroughTheReader) {
    TempDir dir;
    const std::vector<double> samples{0.0, 1.9, -1.9, 32767.0, -32768.0, 12345.6};
    writeWaveSamples(test::widePath(dir / "r.wav"), samples, 16, 1, 44100, 1);
    WaveInfo info;
    std::uint32_t frames = 0;
    const auto back = readWaveSamples(test::widePath(dir / "r.wav"), info, frames, 0);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, (std::vector<double>{0.0, 1.0, -1.0, 32767.0, -32768.0, 12345.0}));
}

}  // namespace
}  // namespace kestrand
