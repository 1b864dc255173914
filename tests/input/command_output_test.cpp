#include <gtest/gtest.h>

#include "input/decoder_table.h"
#include "input/loaders.h"
#include "platform/text.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::TempDir;

struct Loaded {
    std::optional<LoadedSample> sample;
    std::string out;
};

// Runs a program with arguments and reads its output as a decoder's stream.
Loaded runProgram(const std::vector<std::string>& arguments, std::int32_t slack) {
    std::vector<std::wstring> wide;
    for (const auto& argument : arguments) wide.push_back(widen(argument));
    testing::internal::CaptureStdout();
    Loaded result;
    result.sample = loadProgramOutput(wide, slack);
    result.out = testing::internal::GetCapturedStdout();
    return result;
}

std::vector<std::uint8_t> countingBytes(std::size_t count) {
    std::vector<std::uint8_t> data(count);
    for (std::size_t i = 0; i < count; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return data;
}

// A canonical stream whose data size field says `declared`, followed by `data`.
std::vector<std::uint8_t> streamWithDeclaredSize(std::uint32_t declared, const std::vector<std::uint8_t>& data) {
    auto image = test::makeWaveImage(1, 2, 22050, 16, data);
    for (int i = 0; i < 4; ++i) image[40 + i] = static_cast<std::uint8_t>((declared >> (8 * i)) & 0xFF);
    return image;
}

TEST(CommandOutput, DataIsEverythingAfterTheHeaderWhateverTheSizeField) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    TempDir dir;
    for (const std::size_t count : {std::size_t{0}, std::size_t{1000}, std::size_t{1024}, std::size_t{3001}}) {
        for (const std::uint32_t declared : {0u, 0xFFFFFFFFu, 16u}) {
            const auto data = countingBytes(count);
            test::writeFileBytes(dir / "stream.wav", streamWithDeclaredSize(declared, data));
            const auto result = runProgram({"cat", (dir / "stream.wav").string()}, 3);
            ASSERT_TRUE(result.sample) << count;
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.sample->dataBytes, count);
            // Sound, then three zero frames of four bytes.
            auto expected = data;
            expected.insert(expected.end(), 3 * 4, 0);
            EXPECT_EQ(result.sample->bytes, expected) << count << " " << declared;
            EXPECT_EQ(result.sample->info.channels, 2);
            EXPECT_EQ(result.sample->info.samplesPerSec, 22050u);
            EXPECT_EQ(result.sample->info.blockAlign, 4);
            EXPECT_EQ(result.sample->info.chunkSize, 16u);
            EXPECT_EQ(std::string(result.sample->info.chunkId.data(), 4), "fmt ");
        }
    }
}

TEST(CommandOutput, BadStreamsFailWithTheMessage) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    TempDir dir;
    auto notRiff = test::makeWaveImage(1, 1, 44100, 16, countingBytes(100));
    notRiff[0] = 'X';
    auto notWave = test::makeWaveImage(1, 1, 44100, 16, countingBytes(100));
    notWave[8] = 'X';
    auto shortHeader = test::makeWaveImage(1, 1, 44100, 16, {});
    shortHeader.resize(43);
    for (const auto& bytes : {std::vector<std::uint8_t>{}, shortHeader, notRiff, notWave}) {
        test::writeFileBytes(dir / "bad", bytes);
        const auto result = runProgram({"cat", (dir / "bad").string()}, 0);
        EXPECT_FALSE(result.sample);
        EXPECT_EQ(result.out, "失敗\n");
    }
    // A program that cannot be started fails without a message.
    const auto missing = runProgram({(dir / "no-such-decoder").string()}, 0);
    EXPECT_FALSE(missing.sample);
    EXPECT_EQ(missing.out, "");
}

TEST(CommandOutput, DecoderThatDiesKeepsWhatArrived) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    TempDir dir;
    test::writeFileBytes(dir / "stream.wav", test::makeWaveImage(1, 1, 44100, 16, countingBytes(5000)));
    const auto script = test::writeScript(dir / "dies.sh", "head -c 544 \"$1\"\nkill -9 $$\n");
    const auto result = runProgram({script.string(), (dir / "stream.wav").string()}, 0);
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->dataBytes, 500u);
    EXPECT_EQ(result.sample->bytes, countingBytes(500));
}

}  // namespace
}  // namespace kestrand
