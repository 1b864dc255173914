#include <gtest/gtest.h>

#include <cstdio>

#include "audio/wave_stream.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

std::optional<LoadedSample> readStream(std::vector<std::uint8_t> bytes, std::int32_t tail) {
#ifdef _WIN32
    // Without memory streams the bytes go through a temporary file.
    const test::TempDir dir;
    test::writeFileBytes(dir / "stream.bin", bytes);
    std::FILE* stream = ::_wfopen((dir / "stream.bin").c_str(), L"rb");
#else
    std::FILE* stream = ::fmemopen(bytes.data(), bytes.size(), "rb");
#endif
    if (stream == nullptr) return std::nullopt;
    auto sample = readCanonicalWaveStream(stream, tail);
    std::fclose(stream);
    return sample;
}

std::vector<std::uint8_t> withFormat(std::uint16_t channels, std::uint16_t blockAlign) {
    auto image = test::makeWaveImage(1, 1, 44100, 16, {5, 6, 7, 8});
    image[22] = static_cast<std::uint8_t>(channels);
    image[23] = static_cast<std::uint8_t>(channels >> 8);
    image[32] = static_cast<std::uint8_t>(blockAlign);
    image[33] = static_cast<std::uint8_t>(blockAlign >> 8);
    return image;
}

// A decoder's stream whose header names more than the file reader accepts
// is refused: its zero tail alone would otherwise cost up to half a gigabyte.
TEST(WaveStreamFormat, HeaderLimitsMatchTheFileReader) {
    const auto good = readStream(withFormat(2, 4), 4096);
    ASSERT_TRUE(good);
    EXPECT_EQ(good->dataBytes, 4u);
    EXPECT_EQ(good->bytes.size(), 4u + 4096u * 4);
    EXPECT_TRUE(readStream(withFormat(256, 2048), 1));
    for (const auto& [channels, blockAlign] :
         {std::pair<int, int>{1, 65535}, {65535, 65535}, {0, 2}, {1, 0}, {257, 1028}, {1, 2049}, {3, 2}}) {
        EXPECT_FALSE(
            readStream(withFormat(static_cast<std::uint16_t>(channels), static_cast<std::uint16_t>(blockAlign)), 4096))
            << channels << " channels, block align " << blockAlign;
    }
}

}  // namespace
}  // namespace kestrand
