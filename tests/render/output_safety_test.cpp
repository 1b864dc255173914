// The note file is written whole or not at all: a host that sees the output
// name sees a complete WAV, a failed render leaves an older file of that name
// as it was, and no temporary file is left behind either way.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/note_files.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

namespace fs = std::filesystem;
using test::folderNames;
using test::noteCommand;
using test::runCommand;
using test::TempDir;

class OutputSafety : public ::testing::Test {
protected:
    void SetUp() override {
        KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
        fs::copy_file(test::voiceSample("a.wav"), dir / "a.wav");
        fs::copy_file(test::voiceSample("a_wav.frq"), dir / "a_wav.frq");
    }
    std::string in(const std::string& name) const { return (dir / name).string(); }
    TempDir dir;
};

TEST_F(OutputSafety, SuccessLeavesOnlyTheWholeNote) {
    runCommand(noteCommand(in("a.wav"), in("out.wav")) + " >/dev/null 2>&1");
    EXPECT_TRUE(test::isWholeWave(test::readFileBytes(dir / "out.wav")));
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq", "out.wav"}));

    // Rendering over an existing note replaces it whole.
    test::writeFileBytes(dir / "old.wav", std::vector<std::uint8_t>(100000, 0x55));
    runCommand(noteCommand(in("a.wav"), in("old.wav"), "C4") + " >/dev/null 2>&1");
    const auto replaced = test::readFileBytes(dir / "old.wav");
    EXPECT_TRUE(test::isWholeWave(replaced));
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq", "old.wav", "out.wav"}));
}

TEST_F(OutputSafety, FailedRenderWritesNothingAndKeepsAnOlderFile) {
    // No output file appears for a missing sample.
    const auto fresh = runCommand(noteCommand(in("missing.wav"), in("out.wav")) + " 2>&1");
    EXPECT_EQ(fresh.exitCode, 0);
    EXPECT_NE(fresh.output.find("Datei hat nicht gefunden."), std::string::npos) << fresh.output;
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq"}));

    // An older file of that name stays byte for byte as it was.
    std::vector<std::uint8_t> old(5000);
    for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<std::uint8_t>(i * 7 + 3);
    test::writeFileBytes(dir / "keep.wav", old);
    runCommand(noteCommand(in("missing.wav"), in("keep.wav")) + " >/dev/null 2>&1");
    EXPECT_EQ(test::readFileBytes(dir / "keep.wav"), old);

    // A sample that is not a WAV at all fails the same way.
    test::writeFileBytes(dir / "garbage.wav", std::vector<std::uint8_t>(300, 0xA7));
    runCommand(noteCommand(in("garbage.wav"), in("keep.wav")) + " >/dev/null 2>&1");
    EXPECT_EQ(test::readFileBytes(dir / "keep.wav"), old);
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq", "garbage.wav", "keep.wav"}));
}

TEST_F(OutputSafety, UnwritableFolderLeavesNothing) {
    const auto result = runCommand(noteCommand(in("a.wav"), in("no-such-folder/out.wav")) + " 2>&1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.output.find("cannot write the output file"), std::string::npos) << result.output;
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq"}));
}

TEST_F(OutputSafety, StandardOutputAndNulWriteNoFile) {
    // "-" sends the whole note, and nothing else, to standard output.
    const std::string cd = "cd " + test::shellQuoted(dir.path().string()) + " && ";
    const auto piped = runCommand(cd + noteCommand("a.wav", "-") + " 2>/dev/null");
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_TRUE(test::isWholeWave(std::vector<std::uint8_t>(piped.output.begin(), piped.output.end())));
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq"}));

    // "nul" renders into nothing: no file of that name, no temporary file.
    const auto discarded = runCommand(cd + noteCommand("a.wav", "nul") + " 2>&1");
    EXPECT_EQ(discarded.exitCode, 0);
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq"}));
}

}  // namespace
}  // namespace kestrand
