// Sizes and counts read from files are never trusted beyond the bytes the
// file holds: a list file claiming 2^31 - 1 frames, a WAV claiming 4 GB of
// sound and an AIFF claiming 2^32 - 1 frames cost the program no more memory
// than an ordinary note, and neither does a decoder stream whose header names
// an absurd block align. The peak is read from /usr/bin/time -v.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/audio_images.h"
#include "support/note_files.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

namespace fs = std::filesystem;
using test::putText;

bool timeAvailable() { return fs::exists("/usr/bin/time"); }

// The peak resident memory of the command in kilobytes; nothing when it did not run.
std::optional<long> peakKilobytes(const std::string& command) {
    const auto result =
        test::runCommand("/usr/bin/time -v sh -c " + test::shellQuoted(command + " >/dev/null 2>&1") + " 2>&1");
    const std::string key = "Maximum resident set size (kbytes): ";
    const std::size_t at = result.output.find(key);
    if (result.exitCode != 0 || at == std::string::npos) return std::nullopt;
    return std::stol(result.output.substr(at + key.size()));
}

// Allowance over an ordinary note of the same sample: far below what any of
// the claimed sizes would take (2 GB and more).
constexpr long kAllowanceKilobytes = 64 * 1024;

class BoundedMemory : public ::testing::Test {
protected:
    void SetUp() override {
        KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
        if (!timeAvailable()) GTEST_SKIP() << "/usr/bin/time is not installed";
        fs::copy_file(test::voiceSample("a.wav"), dir / "a.wav");
        fs::copy_file(test::voiceSample("a_wav.frq"), dir / "a_wav.frq");
        const auto ordinary = peakKilobytes(note("a.wav", "ordinary.wav"));
        ASSERT_TRUE(ordinary);
        baseline = *ordinary;
    }
    std::string note(const std::string& input, const std::string& output) const {
        return test::noteCommand((dir / input).string(), (dir / output).string());
    }
    // Runs the note and checks its peak memory; true when it ran.
    void expectSmallPeak(const std::string& input, const std::string& output) const {
        const auto peak = peakKilobytes(note(input, output));
        ASSERT_TRUE(peak) << input;
        EXPECT_LT(*peak, baseline + kAllowanceKilobytes) << input << ": ordinary note " << baseline << " kB";
    }
    test::TempDir dir;
    long baseline = 0;
};

TEST_F(BoundedMemory, ListFileClaimingTwoToTheThirtyOneFrames) {
    // A valid sample whose list claims 2^31 - 1 frames and holds one: the
    // list is refused, the sample analysed afresh and the note rendered.
    fs::copy_file(dir / "a.wav", dir / "b.wav");
    std::vector<std::uint8_t> list;
    putText(list, "FREQ0003");
    appendU32(list, 256);
    for (int i = 0; i < 8; ++i) list.push_back(0);  // freqAvg
    appendU32(list, 44100);
    for (int i = 0; i < 12; ++i) list.push_back(0);
    appendU32(list, 0x7FFFFFFFu);
    for (int i = 0; i < 16; ++i) list.push_back(0);
    test::writeFileBytes(dir / "b_wav.frq", list);
    expectSmallPeak("b.wav", "b_out.wav");
    EXPECT_TRUE(test::isWholeWave(test::readFileBytes(dir / "b_out.wav")));
    // The refused list was replaced by a good one.
    EXPECT_GT(fs::file_size(dir / "b_wav.frq"), list.size());
}

TEST_F(BoundedMemory, WaveClaimingFourGigabytes) {
    std::vector<std::uint8_t> wav;
    putText(wav, "RIFF");
    appendU32(wav, 0xFFFFFFFFu);
    putText(wav, "WAVEfmt ");
    appendU32(wav, 16);
    appendU16(wav, 1);
    appendU16(wav, 1);
    appendU32(wav, 44100);
    appendU32(wav, 88200);
    appendU16(wav, 2);
    appendU16(wav, 16);
    putText(wav, "data");
    appendU32(wav, 0xFFFFFFF0u);
    for (int i = 0; i < 400; ++i) appendU16(wav, static_cast<std::uint16_t>(i * 97));
    test::writeFileBytes(dir / "huge.wav", wav);
    expectSmallPeak("huge.wav", "huge_out.wav");
}

TEST_F(BoundedMemory, DecoderStreamWithAHugeBlockAlign) {
    // A decoder that writes a 44-byte header naming a block align of 65535
    // and 64 bytes of sound: the stream is refused rather than given a zero
    // tail of 4 x 1024 such frames.
    std::vector<std::uint8_t> stream = test::makeWaveImage(1, 1, 44100, 16, std::vector<std::uint8_t>(64, 1));
    stream[32] = 0xFF;
    stream[33] = 0xFF;
    test::writeFileBytes(dir / "odd.wav", stream);
    const std::string script = "#!/bin/sh\ncat \"$1\"\n";
    test::writeFileBytes(dir / "dec.exe", std::vector<std::uint8_t>(script.begin(), script.end()));
    fs::permissions(dir / "dec.exe", fs::perms::owner_all);
    const std::string input = (dir / "dec.exe").string() + " " + (dir / "odd.wav").string();
    const auto peak = peakKilobytes(test::noteCommand(input, (dir / "odd_out.wav").string()));
    ASSERT_TRUE(peak);
    EXPECT_LT(*peak, baseline + kAllowanceKilobytes) << "ordinary note " << baseline << " kB";
}

TEST_F(BoundedMemory, AiffClaimingTwoToTheThirtyTwoFrames) {
    test::AiffSpec spec;
    spec.formSizeOverride = 0xFFFFFFFFu;
    spec.frames = 0xFFFFFFFFu;
    spec.ssndSizeOverride = 0xFFFFFFF0u;
    for (int i = 0; i < 400; ++i) spec.samples.push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>(i * 97)));
    const std::vector<std::uint8_t> aiff = test::makeAiff(spec);
    test::writeFileBytes(dir / "huge.aiff", aiff);
    expectSmallPeak("huge.aiff", "aiff_out.wav");
}

}  // namespace
}  // namespace kestrand
