// Hosts start several notes of one sample at once. Programs started together
// on a sample without a frequency list must each write a whole note, analyse
// the sample once between them and leave one list that equals a fresh
// analysis, with no temporary files; an analysing program that is killed
// keeps nobody waiting.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "f0/frequency_list.h"
#include "render/list_generation.h"
#include "support/note_files.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

namespace fs = std::filesystem;

bool mentions(const fs::path& file, const std::string& text) {
    return test::readFileText(file).find(text) != std::string::npos;
}

TEST(ConcurrentRender, EightProgramsShareOneSampleAndOneAnalysis) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    fs::copy_file(test::voiceSample("a.wav"), dir / "a.wav");
    const char* pitches[] = {"C4", "D4", "E4", "F4", "G4", "A4", "B4", "C5"};
    std::string script;
    std::set<std::string> expected{"a.wav", "a_wav.frq"};
    for (int i = 0; i < 8; ++i) {
        const std::string out = "note" + std::to_string(i) + ".wav";
        expected.insert(out);
        script += test::noteCommand((dir / "a.wav").string(), (dir / out).string(), pitches[i]) + " >/dev/null 2>" +
                  test::shellQuoted((dir / ("err" + std::to_string(i))).string()) + " & ";
    }
    script += "wait";
    const auto result = test::runCommand(script);
    EXPECT_EQ(result.exitCode, 0);

    int analyses = 0;
    for (int i = 0; i < 8; ++i) {
        const auto out = dir / ("note" + std::to_string(i) + ".wav");
        EXPECT_TRUE(test::isWholeWave(test::readFileBytes(out))) << out;
        const auto err = dir / ("err" + std::to_string(i));
        analyses += mentions(err, "List Size=") ? 1 : 0;
        fs::remove(err);
    }
    EXPECT_EQ(analyses, 1);
    EXPECT_EQ(test::folderNames(dir.path()), expected);

    test::TempDir other;
    fs::copy_file(test::voiceSample("a.wav"), other / "a.wav");
    ASSERT_TRUE(generateFrequencyList(test::widePath(other / "a.wav"), 4096));
    EXPECT_EQ(test::readFileBytes(dir / "a_wav.frq"), test::readFileBytes(other / "a_wav.frq"));
}

TEST(ConcurrentRender, AKilledAnalysisKeepsNobodyWaiting) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    // Twenty seconds of the bundled syllables, long enough to kill its analysis midway.
    const auto voice = test::readFileBytes(test::voiceSample("a.wav"));
    std::vector<std::uint8_t> sound;
    for (int i = 0; i < 68; ++i) sound.insert(sound.end(), voice.begin() + 44, voice.end());
    test::writeFileBytes(dir / "long.wav", test::makeWaveImage(1, 1, 44100, 16, sound));
    const std::string sample = (dir / "long.wav").string();
    const std::string first = test::shellQuoted((dir / "first").string());
    const std::string script = test::noteCommand(sample, (dir / "1.wav").string()) + " >/dev/null 2>" + first +
                               " & p=$!; until grep -q 'N=' " + first + " 2>/dev/null; do sleep 0.01; done; " +
                               "{ kill -9 $p; wait $p; } 2>/dev/null; " +
                               test::noteCommand(sample, (dir / "2.wav").string()) + " 2>&1 >/dev/null";
    const auto result = test::runCommand(script);
    EXPECT_NE(result.output.find("List Size="), std::string::npos) << "the second program analysed\n" << result.output;
    EXPECT_EQ(result.output.find("has been analysing"), std::string::npos) << "without waiting\n" << result.output;
    EXPECT_TRUE(test::isWholeWave(test::readFileBytes(dir / "2.wav")));
    EXPECT_FALSE(fs::exists(dir / "1.wav"));
    EXPECT_TRUE(fs::exists(dir / "long_wav.frq"));
}

}  // namespace
}  // namespace kestrand
