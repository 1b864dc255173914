// Reading WAV files: the chunk walk, the zero tail, the open-ended data chunk,
// the messages and the conversion of every depth to sixteen-bit scale.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/wave_reader.h"
#include "support/audio_images.h"

namespace kestrand {
namespace {

using test::appendChunk;
using test::byteRange;
using test::extensibleBody;
using test::formatBody;
using test::putFile;
using test::riffHeader;
using test::TempDir;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

std::vector<std::uint8_t> zeros(std::size_t n) { return std::vector<std::uint8_t>(n, 0); }

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(WaveReadBytes, CanonicalFileGivesDataThenZeroTail) {
    TempDir dir;
    const auto data = byteRange(12);
    const auto path = putFile(dir, "a.wav", test::makeWaveImage(1, 2, 22050, 16, data));
    const auto loaded = readWaveBytes(path, 5);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->dataBytes, 12u);
    EXPECT_EQ(loaded->bytes, concat(data, zeros(5 * 4)));
    const WaveInfo& info = loaded->info;
    EXPECT_EQ(std::string(info.chunkId.data(), 4), "fmt ");
    EXPECT_EQ(info.chunkSize, 16u);
    EXPECT_EQ(info.formatTag, 1);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplesPerSec, 22050u);
    EXPECT_EQ(info.avgBytesPerSec, 22050u * 4);
    EXPECT_EQ(info.blockAlign, 4);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.subFormat, 0);
}

TEST(WaveReadBytes, FormatExtensionsAreSkippedAndExtensibleSubformatIsKept) {
    TempDir dir;
    auto fmt18 = formatBody(1, 1, 8000, 8);
    appendU16(fmt18, 0);
    auto image = riffHeader();
    appendChunk(image, "fmt ", fmt18);
    appendChunk(image, "data", {7, 8, 9});
    auto loaded = readWaveBytes(putFile(dir, "18.wav", image), 0);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->info.chunkSize, 18u);
    EXPECT_EQ(loaded->bytes, (std::vector<std::uint8_t>{7, 8, 9}));

    image = riffHeader();
    appendChunk(image, "fmt ", extensibleBody(2, 48000, 32, 3));
    appendChunk(image, "data", byteRange(8));
    loaded = readWaveBytes(putFile(dir, "40.wav", image), 1);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->info.chunkSize, 40u);
    EXPECT_EQ(loaded->info.formatTag, 0xFFFE);
    EXPECT_EQ(loaded->info.subFormat, 3);
    EXPECT_EQ(effectiveFormatTag(loaded->info), 3);
    EXPECT_EQ(loaded->bytes, concat(byteRange(8), zeros(8)));
}

// RIFF puts a pad byte after a chunk of odd size; writers that leave it out
// have always been read. Both layouts load, decided by the next header.
TEST(WaveReaders, OddChunksLoadWithAndWithoutTheirPadByte) {
    TempDir dir;
    const auto layout = [](bool pad, const std::string& next) {
        auto image = riffHeader();
        appendChunk(image, "fmt ", formatBody(1, 1, 44100, 16));
        appendChunk(image, "id3 ", byteRange(5, 50));
        if (pad) image.push_back(0);
        if (!next.empty()) appendChunk(image, next, byteRange(7, 80));
        // 0x41 makes the low byte of the size printable: "ata" + 'A' would pass as an id.
        appendChunk(image, "data", byteRange(0x41, 1));
        return image;
    };
    for (const bool pad : {true, false}) {
        for (const std::string next : {"", "LIST"}) {
            SCOPED_TRACE(std::string(pad ? "pad" : "no pad") + " then " + (next.empty() ? "data" : next));
            const std::wstring path = putFile(dir, "odd.wav", layout(pad, next));
            const auto loaded = readWaveBytes(path, 0);
            ASSERT_TRUE(loaded);
            EXPECT_EQ(loaded->bytes, byteRange(0x41, 1));
            WaveInfo info;
            std::uint32_t frames = 0;
            const auto samples = readWaveSamples(path, info, frames, 0);
            ASSERT_TRUE(samples);
            EXPECT_EQ(frames, 0x41u / 2);
        }
    }
}

TEST(WaveReadBytes, LaterFormatChunkReplacesEarlierOne) {
    TempDir dir;
    auto image = riffHeader();
    appendChunk(image, "fmt ", formatBody(1, 1, 44100, 16));
    appendChunk(image, "fmt ", formatBody(3, 2, 96000, 32));
    appendChunk(image, "data", byteRange(8));
    const auto loaded = readWaveBytes(putFile(dir, "two.wav", image), 2);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->info.samplesPerSec, 96000u);
    EXPECT_EQ(loaded->info.blockAlign, 8);
    EXPECT_EQ(loaded->bytes.size(), 8u + 2 * 8);
}

TEST(WaveReadBytes, DataBeyondTheFileIsCutToWhatIsPresent) {
    TempDir dir;
    auto image = riffHeader();
    appendChunk(image, "fmt ", formatBody(1, 2, 44100, 16));
    appendChunk(image, "data", 1000, byteRange(10));
    const auto loaded = readWaveBytes(putFile(dir, "short.wav", image), 3);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->dataBytes, 10u);
    EXPECT_EQ(loaded->bytes, concat(byteRange(10), zeros(3 * 4)));
}

TEST(WaveReadBytes, OpenEndedDataTakesEverythingToTheEnd) {
    TempDir dir;
    auto image = riffHeader();
    appendChunk(image, "fmt ", formatBody(1, 1, 44100, 16));
    const std::size_t headerEnd = image.size() + 8;
    // More than two 4096-byte blocks and a trailing chunk, all read as sound.
    appendChunk(image, "data", 0xFFFFFFFFu, byteRange(9000));
    appendChunk(image, "LIST", byteRange(4));
    const std::vector<std::uint8_t> sound(image.begin() + static_cast<std::ptrdiff_t>(headerEnd), image.end());
    const auto loaded = readWaveBytes(putFile(dir, "stream.wav", image), 4);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->dataBytes, sound.size());
    EXPECT_EQ(loaded->bytes, concat(sound, zeros(4 * 2)));

    // An open-ended chunk with nothing behind it: only the tail.
    image = riffHeader();
    appendChunk(image, "fmt ", formatBody(1, 1, 44100, 16));
    appendChunk(image, "data", 0xFFFFFFFFu, {});
    const auto empty = readWaveBytes(putFile(dir, "empty.wav", image), 4);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->dataBytes, 0u);
    EXPECT_EQ(empty->bytes, zeros(8));
}

TEST(WaveReadBytes, UnknownDepthStillReturnsTheBytes) {
    TempDir dir;
    auto image = riffHeader();
    appendChunk(image, "fmt ", formatBody(1, 1, 44100, 12, 2));
    appendChunk(image, "data", byteRange(6));
    const auto loaded = readWaveBytes(putFile(dir, "12.wav", image), 1);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->bytes, concat(byteRange(6), zeros(2)));
}

TEST(WaveReadBytes, HeaderMessagesAndSilentFailures) {
    TempDir dir;
    auto notRiff = test::makeWaveImage(1, 1, 44100, 16, byteRange(4));
    std::memcpy(notRiff.data(), "RIFX", 4);
    auto notWave = test::makeWaveImage(1, 1, 44100, 16, byteRange(4));
    std::memcpy(notWave.data() + 8, "AVI ", 4);

    CaptureStderr();
    EXPECT_FALSE(readWaveBytes(putFile(dir, "x.wav", notRiff), 0));
    EXPECT_EQ(GetCapturedStderr(), "file format error.\n");
    CaptureStderr();
    EXPECT_FALSE(readWaveBytes(putFile(dir, "y.wav", notWave), 0));
    EXPECT_EQ(GetCapturedStderr(), "file format error(2).\n");

    WaveInfo info;
    std::uint32_t frames = 77;
    for (const auto* name : {"x.wav", "y.wav"}) {
        CaptureStderr();
        EXPECT_FALSE(readWaveSamples(test::widePath(dir / name), info, frames, 0));
        EXPECT_EQ(GetCapturedStderr(), "file format error(2).\n");
    }
    EXPECT_EQ(frames, 77u);

    // Missing file and a file without a data chunk: nothing, no message.
    auto noData = riffHeader();
    appendChunk(noData, "fmt ", formatBody(1, 1, 44100, 16));
    CaptureStderr();
    EXPECT_FALSE(readWaveBytes(test::widePath(dir / "missing.wav"), 0));
    EXPECT_FALSE(readWaveSamples(test::widePath(dir / "missing.wav"), info, frames, 0));
    EXPECT_FALSE(readWaveBytes(putFile(dir, "nodata.wav", noData), 0));
    EXPECT_FALSE(readWaveSamples(test::widePath(dir / "nodata.wav"), info, frames, 0));
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(frames, 77u);
}

// Formats that cannot describe the data safely: both readers refuse them with
// one line on standard error.
TEST(WaveReaders, UnusableFormatsAreRefusedWithAMessage) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> image;
    };
    std::vector<Case> cases;
    auto add = [&cases](const char* name, const std::vector<std::uint8_t>& fmt, bool fmtFirst = true) {
        auto image = riffHeader();
        if (!fmtFirst) appendChunk(image, "data", byteRange(8));
        if (!fmt.empty()) appendChunk(image, "fmt ", fmt);
        if (fmtFirst) appendChunk(image, "data", byteRange(8));
        cases.push_back({name, image});
    };
    add("data before format", formatBody(1, 1, 44100, 16), false);
    add("no format at all", {});
    auto shortFormat = formatBody(1, 1, 44100, 16);
    shortFormat.resize(14);
    add("short format", shortFormat);
    add("no channels", formatBody(1, 0, 44100, 16, 2));
    add("block align 0", formatBody(1, 1, 44100, 16, 0));
    add("300 channels", formatBody(1, 300, 44100, 8, 300));
    add("block align 4096", formatBody(1, 2, 44100, 16, 4096));
    add("block align below channels", formatBody(1, 4, 44100, 16, 2));

    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = putFile(dir, "bad.wav", c.image);
        CaptureStderr();
        EXPECT_FALSE(readWaveBytes(path, 16));
        std::string message = GetCapturedStderr();
        EXPECT_EQ(message.rfind("file format error: ", 0), 0u) << message;
        EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
        WaveInfo info;
        std::uint32_t frames = 0;
        CaptureStderr();
        EXPECT_FALSE(readWaveSamples(path, info, frames, 16));
        EXPECT_EQ(GetCapturedStderr(), message);
    }
}

TEST(WaveReadBytes, TailIsBoundedAndNegativeTailIsNone) {
    TempDir dir;
    const auto path = putFile(dir, "a.wav", test::makeWaveImage(1, 1, 44100, 16, byteRange(4)));
    const auto none = readWaveBytes(path, -5);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->bytes, byteRange(4));
    CaptureStderr();
    EXPECT_FALSE(readWaveBytes(putFile(dir, "wide.wav", test::makeWaveImage(1, 256, 44100, 64, {})), 0x7FFFFFFF));
    EXPECT_NE(GetCapturedStderr(), "");
}

// ---- readWaveSamples ----

struct SamplesResult {
    std::optional<std::vector<double>> samples;
    WaveInfo info;
    std::uint32_t frames = 12345;
};

SamplesResult readSamplesOf(const std::vector<std::uint8_t>& image, std::int32_t tail) {
    TempDir dir;
    SamplesResult r;
    r.samples = readWaveSamples(putFile(dir, "s.wav", image), r.info, r.frames, tail);
    return r;
}

std::vector<std::uint8_t> imageWith(const std::vector<std::uint8_t>& fmt, const std::vector<std::uint8_t>& data) {
    auto image = riffHeader();
    appendChunk(image, "fmt ", fmt);
    appendChunk(image, "data", data);
    return image;
}

TEST(WaveReadSamples, EveryDepthConvertsToSixteenBitScale) {
    // 8-bit: 0 and 255 land symmetrically at -32640 and +32640.
    auto r = readSamplesOf(imageWith(formatBody(1, 1, 8000, 8), {0, 255, 128}), 0);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(*r.samples, (std::vector<double>{-32640.0, 32640.0, 128.0}));

    std::vector<std::uint8_t> d16;
    appendU16(d16, 0x8000);
    appendU16(d16, 0x7FFF);
    appendU16(d16, 0xFFFF);
    r = readSamplesOf(imageWith(formatBody(1, 1, 8000, 16), d16), 0);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(*r.samples, (std::vector<double>{-32768.0, 32767.0, -1.0}));

    // 24-bit: bit 23 is the sign.
    r = readSamplesOf(imageWith(formatBody(1, 1, 8000, 24), {0x80, 0x64, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF}), 0);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(*r.samples, (std::vector<double>{100.5, -32768.0, -0.00390625}));

    // 32-bit: tag 1 integers, any other tag floats; 64-bit always doubles.
    std::vector<std::uint8_t> d32;
    appendU32(d32, 0x80000000u);
    appendU32(d32, 65536u * 3);
    r = readSamplesOf(imageWith(formatBody(1, 1, 8000, 32), d32), 0);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(*r.samples, (std::vector<double>{-32768.0, 3.0}));

    std::vector<std::uint8_t> f32;
    appendU32(f32, 0x3F800000u);  // 1.0f
    appendU32(f32, 0xBF000000u);  // -0.5f
    for (std::uint16_t tag : {3, 0, 7}) {
        r = readSamplesOf(imageWith(formatBody(tag, 1, 8000, 32), f32), 0);
        ASSERT_TRUE(r.samples);
        EXPECT_EQ(*r.samples, (std::vector<double>{32767.5, -16383.75})) << tag;
    }
    r = readSamplesOf(imageWith(extensibleBody(1, 8000, 32, 3), f32), 0);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(*r.samples, (std::vector<double>{32767.5, -16383.75}));
    r = readSamplesOf(imageWith(extensibleBody(1, 8000, 32, 1), d32), 0);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(*r.samples, (std::vector<double>{-32768.0, 3.0}));

    std::vector<std::uint8_t> f64;
    appendU32(f64, 0);
    appendU32(f64, 0xBFF00000u);  // -1.0
    r = readSamplesOf(imageWith(formatBody(1, 1, 8000, 64), f64), 0);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(*r.samples, (std::vector<double>{-32767.5}));
}

TEST(WaveReadSamples, InterleavedFramesThenZeroTail) {
    std::vector<std::uint8_t> data;
    for (std::uint16_t v : {1, 2, 3, 4, 5, 6}) appendU16(data, v);
    const auto r = readSamplesOf(imageWith(formatBody(1, 2, 44100, 16), data), 3);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(r.frames, 3u);
    EXPECT_EQ(r.info.channels, 2);
    EXPECT_EQ(r.info.samplesPerSec, 44100u);
    EXPECT_EQ(*r.samples, (std::vector<double>{1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0}));
}

TEST(WaveReadSamples, UnknownDepthReadsAsSilence) {
    const auto r = readSamplesOf(imageWith(formatBody(1, 1, 44100, 12, 2), byteRange(6)), 1);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(r.frames, 3u);
    EXPECT_EQ(*r.samples, std::vector<double>(4, 0.0));
}

TEST(WaveReaders, EmptyChunksAreWalkedPastAndALaterDataChunkWins) {
    TempDir dir;
    // An empty data chunk alone: no samples, and data bytes 0 with the tail.
    auto r = readSamplesOf(imageWith(formatBody(1, 1, 44100, 16), {}), 4);
    EXPECT_FALSE(r.samples);
    EXPECT_EQ(r.frames, 12345u);
    const auto empty = readWaveBytes(putFile(dir, "empty.wav", imageWith(formatBody(1, 1, 44100, 16), {})), 4);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->dataBytes, 0u);
    EXPECT_EQ(empty->bytes, zeros(8));
    // An empty chunk of another kind, then an empty data chunk followed by the real one.
    auto image = riffHeader();
    appendChunk(image, "fmt ", formatBody(1, 1, 44100, 16));
    appendChunk(image, "JUNK", {});
    appendChunk(image, "data", {});
    appendChunk(image, "data", byteRange(4));
    r = readSamplesOf(image, 0);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(*r.samples, (std::vector<double>{0x0201, 0x0403}));
    const auto loaded = readWaveBytes(putFile(dir, "later.wav", image), 0);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->bytes, byteRange(4));
    // Less than one frame of data: zero frames and only the tail.
    r = readSamplesOf(imageWith(formatBody(1, 2, 44100, 16), {1}), 2);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(r.frames, 0u);
    EXPECT_EQ(*r.samples, std::vector<double>(4, 0.0));
}

TEST(WaveReadSamples, FramesComeFromTheBytesPresent) {
    auto image = riffHeader();
    appendChunk(image, "fmt ", formatBody(1, 1, 44100, 16));
    std::vector<std::uint8_t> data;
    for (std::uint16_t v : {10, 20, 30}) appendU16(data, v);
    data.push_back(0x55);  // half a frame
    appendChunk(image, "data", 0x7FFFFFF0u, data);
    const auto r = readSamplesOf(image, 2);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(r.frames, 3u);
    EXPECT_EQ(*r.samples, (std::vector<double>{10, 20, 30, 0, 0}));
}

TEST(WaveReadSamples, SkipsOtherChunksAndFormatExtensions) {
    auto fmt = formatBody(1, 1, 44100, 16);
    appendU16(fmt, 0);
    auto image = riffHeader();
    appendChunk(image, "LIST", byteRange(10));
    appendChunk(image, "fmt ", fmt);
    appendChunk(image, "fact", byteRange(3));
    std::vector<std::uint8_t> data;
    appendU16(data, 0xFFFE);
    appendChunk(image, "data", data);
    const auto r = readSamplesOf(image, 0);
    ASSERT_TRUE(r.samples);
    EXPECT_EQ(r.info.chunkSize, 18u);
    EXPECT_EQ(*r.samples, (std::vector<double>{-2.0}));
}

}  // namespace
}  // namespace kestrand
