// Hostile WAV files: truncation at every byte, sizes far beyond the file or
// near the 32-bit limit. The readers must neither crash nor read or allocate
// beyond what the file supplies.
#include <gtest/gtest.h>

#include <algorithm>

#include "audio/wave_reader.h"
#include "support/audio_images.h"

namespace kestrand {
namespace {

using test::appendChunk;
using test::byteRange;
using test::formatBody;
using test::putFile;
using test::riffHeader;
using test::TempDir;

// A small valid file with an extended format chunk, a LIST chunk and 16-bit
// stereo data, so that a cut can fall into every kind of field.
std::vector<std::uint8_t> richImage(std::size_t& dataStart) {
    auto fmt = formatBody(1, 2, 44100, 16);
    appendU16(fmt, 0);
    auto image = riffHeader();
    appendChunk(image, "fmt ", fmt);
    appendChunk(image, "LIST", byteRange(6, 200));
    dataStart = image.size() + 8;
    appendChunk(image, "data", byteRange(24));
    return image;
}

TEST(WaveHostileInput, TruncationAtEveryByte) {
    std::size_t dataStart = 0;
    const auto full = richImage(dataStart);
    const std::vector<std::uint8_t> data(full.begin() + static_cast<std::ptrdiff_t>(dataStart), full.end());
    TempDir dir;
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        const auto path =
            putFile(dir, "cut" + std::to_string(cut) + ".wav",
                    std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
        testing::internal::CaptureStderr();
        const auto bytes = readWaveBytes(path, 8);
        WaveInfo info;
        std::uint32_t frames = 999;
        const auto samples = readWaveSamples(path, info, frames, 8);
        const std::string errors = testing::internal::GetCapturedStderr();

        // Cuts inside the 12-byte header are reported; a cut before the data
        // size leaves no data; every later cut gives the bytes present.
        if (cut < 12) {
            EXPECT_FALSE(bytes);
            EXPECT_FALSE(samples);
            EXPECT_FALSE(errors.empty());
            continue;
        }
        EXPECT_EQ(errors, "");
        if (cut < dataStart) {
            EXPECT_FALSE(bytes);
            EXPECT_FALSE(samples);
            EXPECT_EQ(frames, 999u);
            continue;
        }
        const std::size_t present = cut - dataStart;
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->dataBytes, present);
        ASSERT_EQ(bytes->bytes.size(), present + 8 * 4);
        EXPECT_TRUE(
            std::equal(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(present), bytes->bytes.begin()));
        EXPECT_TRUE(std::all_of(bytes->bytes.begin() + static_cast<std::ptrdiff_t>(present), bytes->bytes.end(),
                                [](std::uint8_t b) { return b == 0; }));
        ASSERT_TRUE(samples);
        EXPECT_EQ(frames, present / 4);
        EXPECT_EQ(samples->size(), (present / 4 + 8) * 2);
    }
}

TEST(WaveHostileInput, FourGigabyteClaimsCostOnlyWhatIsPresent) {
    TempDir dir;
    for (std::uint32_t size : {0xFFFFFFFEu, 0xFFFFFFF0u, 0x80000000u}) {
        SCOPED_TRACE(size);
        auto image = riffHeader(0xFFFFFFFFu);
        appendChunk(image, "fmt ", formatBody(1, 256, 44100, 64, 2048));
        appendChunk(image, "data", size, byteRange(4));
        const auto path = putFile(dir, "huge.wav", image);
        const auto bytes = readWaveBytes(path, 4);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->dataBytes, 4u);
        EXPECT_EQ(bytes->bytes.size(), 4u + 4 * 2048);
        WaveInfo info;
        std::uint32_t frames = 9;
        const auto samples = readWaveSamples(path, info, frames, 4);
        ASSERT_TRUE(samples);
        EXPECT_EQ(frames, 0u);
        EXPECT_EQ(samples->size(), 4u * 256);
    }
}

TEST(WaveHostileInput, HugeSizesInOtherChunksEndTheWalk) {
    TempDir dir;
    struct Case {
        const char* id;
        std::uint32_t size;
    };
    for (const Case c : {Case{"LIST", 0xFFFFFFFFu}, Case{"LIST", 0xFFFFFFF9u}, Case{"fmt ", 0xFFFFFFFFu},
                         Case{"fmt ", 0xFFFFFFF0u}, Case{"JUNK", 0x7FFFFFFFu}}) {
        SCOPED_TRACE(std::string(c.id) + " " + std::to_string(c.size));
        auto image = riffHeader();
        if (std::string(c.id) != "fmt ") appendChunk(image, "fmt ", formatBody(1, 1, 44100, 16));
        appendChunk(image, c.id, c.size, formatBody(1, 1, 44100, 16));
        appendChunk(image, "data", byteRange(8));
        const auto path = putFile(dir, "skip.wav", image);
        EXPECT_FALSE(readWaveBytes(path, 4));
        WaveInfo info;
        std::uint32_t frames = 0;
        EXPECT_FALSE(readWaveSamples(path, info, frames, 4));
    }
}

TEST(WaveHostileInput, FailedDataSizeReadEndsWithoutData) {
    TempDir dir;
    auto image = riffHeader();
    appendChunk(image, "fmt ", formatBody(1, 1, 44100, 16));
    test::putText(image, "data");
    image.push_back(0x10);  // a size field cut after one byte
    const auto path = putFile(dir, "cut.wav", image);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readWaveBytes(path, 4));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(WaveHostileInput, ShortFormatBodyKeepsZeroFields) {
    // A format chunk that declares 16 bytes but the file ends after 6: the
    // fields read so far are kept, the rest stay zero; no data follows.
    TempDir dir;
    auto image = riffHeader();
    const auto body = formatBody(1, 2, 44100, 16);
    appendChunk(image, "fmt ", 16, std::vector<std::uint8_t>(body.begin(), body.begin() + 6));
    WaveInfo info;
    std::uint32_t frames = 0;
    EXPECT_FALSE(readWaveSamples(putFile(dir, "f.wav", image), info, frames, 0));
    EXPECT_EQ(info.formatTag, 1);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplesPerSec, 0u);
    EXPECT_EQ(info.blockAlign, 0);
}

TEST(WaveHostileInput, ExtensibleFormatCutInsideTheGuid) {
    TempDir dir;
    auto image = riffHeader();
    const auto body = test::extensibleBody(1, 44100, 32, 3);
    appendChunk(image, "fmt ", 40, std::vector<std::uint8_t>(body.begin(), body.begin() + 25));
    WaveInfo info;
    std::uint32_t frames = 0;
    EXPECT_FALSE(readWaveSamples(putFile(dir, "x.wav", image), info, frames, 0));
    EXPECT_EQ(info.formatTag, 0xFFFE);
    EXPECT_EQ(info.subFormat, 0);
}

}  // namespace
}  // namespace kestrand
