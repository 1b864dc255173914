// Hosts start several notes of one sample at once. Eight programs started
// together on a sample without a frequency list must each write a whole note
// and leave one list that equals a fresh analysis, with no temporary files.
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

TEST(ConcurrentRender, EightProgramsShareOneSampleWithoutAList) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    fs::copy_file(test::voiceSample("a.wav"), dir / "a.wav");
    const char* pitches[] = {"C4", "D4", "E4", "F4", "G4", "A4", "B4", "C5"};
    std::string script;
    std::set<std::string> expected{"a.wav", "a_wav.frq"};
    for (int i = 0; i < 8; ++i) {
        const std::string out = "note" + std::to_string(i) + ".wav";
        expected.insert(out);
        script += test::noteCommand((dir / "a.wav").string(), (dir / out).string(), pitches[i]) + " >/dev/null 2>&1 & ";
    }
    script += "wait";
    const auto result = test::runCommand(script);
    EXPECT_EQ(result.exitCode, 0);

    for (int i = 0; i < 8; ++i) {
        const auto out = dir / ("note" + std::to_string(i) + ".wav");
        EXPECT_TRUE(test::isWholeWave(test::readFileBytes(out))) << out;
    }
    EXPECT_EQ(test::folderNames(dir.path()), expected);

    const auto shared = loadFrequencyList(test::widePath(dir / "a_wav.frq"));
    ASSERT_TRUE(shared);
    test::TempDir other;
    fs::copy_file(test::voiceSample("a.wav"), other / "a.wav");
    ASSERT_TRUE(generateFrequencyList(test::widePath(other / "a.wav"), 4096));
    const auto fresh = loadFrequencyList(test::widePath(other / "a_wav.frq"));
    ASSERT_TRUE(fresh);
    EXPECT_EQ(shared->frameStep, fresh->frameStep);
    EXPECT_EQ(shared->sampleRate, fresh->sampleRate);
    EXPECT_EQ(shared->listSize, fresh->listSize);
    EXPECT_EQ(shared->freqAvg, fresh->freqAvg);
    EXPECT_EQ(shared->frequencies, fresh->frequencies);
    EXPECT_EQ(shared->amplitudes, fresh->amplitudes);
    EXPECT_EQ(test::readFileBytes(dir / "a_wav.frq"), test::readFileBytes(other / "a_wav.frq"));
}

}  // namespace
}  // namespace kestrand
