#include <gtest/gtest.h>

#include "input/plugin_image.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

std::vector<std::uint8_t> withDataSize(std::vector<std::uint8_t> image, std::uint32_t size) {
    for (int i = 0; i < 4; ++i) image[40 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    return image;
}

TEST(PluginImage, CopiesFormatAndDataWithZeroTail) {
    const auto image = test::makeWaveImage(1, 2, 22050, 16, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(pluginImageSize(std::span<const std::uint8_t, 44>(image.data(), 44)), 52u);
    const auto sample = loadedSampleFromImage(image, 3);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->info.channels, 2);
    EXPECT_EQ(sample->info.samplesPerSec, 22050u);
    EXPECT_EQ(sample->info.blockAlign, 4);
    EXPECT_EQ(sample->dataBytes, 8u);
    std::vector<std::uint8_t> expected{1, 2, 3, 4, 5, 6, 7, 8};
    expected.resize(8 + 3 * 4, 0);
    EXPECT_EQ(sample->bytes, expected);
}

TEST(PluginImage, DataSizeBeyondTheImageIsCutToItsBytes) {
    const auto image = withDataSize(test::makeWaveImage(1, 1, 44100, 16, {9, 8, 7, 6}), 0x7FFFFFFFu);
    EXPECT_EQ(pluginImageSize(std::span<const std::uint8_t, 44>(image.data(), 44)), 44u + 0x7FFFFFFFu);
    const auto sample = loadedSampleFromImage(image, 0);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->dataBytes, 4u);
    EXPECT_EQ(sample->bytes, (std::vector<std::uint8_t>{9, 8, 7, 6}));
    // A smaller declared size than the image holds takes only that much.
    const auto shorter = loadedSampleFromImage(withDataSize(image, 2), 0);
    ASSERT_TRUE(shorter);
    EXPECT_EQ(shorter->bytes, (std::vector<std::uint8_t>{9, 8}));
}

TEST(PluginImage, RefusesShortForeignAndNegativeImages) {
    const auto image = test::makeWaveImage(1, 1, 44100, 16, {1, 2});
    for (std::size_t cut = 0; cut < 44; ++cut)
        EXPECT_FALSE(loadedSampleFromImage(std::span<const std::uint8_t>(image.data(), cut), 1)) << cut;
    auto foreign = image;
    foreign[8] = 'X';
    EXPECT_FALSE(loadedSampleFromImage(foreign, 1));
    const auto negative = withDataSize(image, 0x80000000u);
    EXPECT_EQ(pluginImageSize(std::span<const std::uint8_t, 44>(negative.data(), 44)), 44u);
    EXPECT_FALSE(loadedSampleFromImage(negative, 1));
}

// Channel counts and block aligns beyond what the WAV file reader accepts
// would size the zero tail from a few header bytes; they are refused.
TEST(PluginImage, RefusesFormatsBeyondTheReaderLimits) {
    struct Case {
        std::uint16_t channels;
        std::uint16_t blockAlign;
        bool usable;
    };
    for (const Case c : {Case{1, 2, true}, Case{256, 2048, true}, Case{0, 2, false}, Case{1, 0, false},
                         Case{257, 514, false}, Case{1, 2049, false}, Case{1, 65535, false}, Case{4, 2, false}}) {
        auto image = test::makeWaveImage(1, 1, 44100, 16, {1, 2, 3, 4});
        image[22] = static_cast<std::uint8_t>(c.channels);
        image[23] = static_cast<std::uint8_t>(c.channels >> 8);
        image[32] = static_cast<std::uint8_t>(c.blockAlign);
        image[33] = static_cast<std::uint8_t>(c.blockAlign >> 8);
        SCOPED_TRACE(testing::Message() << c.channels << " channels, block align " << c.blockAlign);
        const auto sample = loadedSampleFromImage(image, 4096);
        EXPECT_EQ(sample.has_value(), c.usable);
        if (sample) {
            EXPECT_EQ(sample->bytes.size(), 4u + 4096u * c.blockAlign);
        }
    }
}

}  // namespace
}  // namespace kestrand
