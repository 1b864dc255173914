// The note file is written whole or not at all: a host that sees the output
// name sees a complete WAV, a failed render leaves an older file of that name
// as it was, says why and prints no "Output :" line, and no temporary file is
// left behind either way. The faults are real: a nearly full file system (a
// small tmpfs when the test may mount one, otherwise a file size limit, which
// fails writes the same way), standard output closed or full, names at the
// file system's limit and kills at random moments.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

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
    const auto result = runCommand(noteCommand(in("a.wav"), in("no-such-folder/out.wav"), "A4", "") + " 2>&1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.output.find("cannot write the output file"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("Output :"), std::string::npos) << result.output;
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq"}));
}

// A 1 MB tmpfs mounted on a folder for as long as the object lives; nothing
// when the test may not mount (not root, or a container that forbids it).
class SmallFileSystem {
public:
    explicit SmallFileSystem(const fs::path& folder) : folder_(folder) {
        fs::create_directory(folder);
#ifndef _WIN32
        mounted_ =
            runCommand("mount -t tmpfs -o size=1m tmpfs " + test::shellQuoted(folder.string()) + " >/dev/null 2>&1")
                .exitCode == 0;
#endif
    }
    ~SmallFileSystem() {
        if (mounted_) runCommand("umount " + test::shellQuoted(folder_.string()));
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool mounted() const { return mounted_; }

    // Fills the file system up to `free` bytes.
    void leaveFree(std::uintmax_t free) const {
        fs::remove(folder_ / "fill");
        const std::uintmax_t available = fs::space(folder_).available;
        if (available > free) test::writeFileBytes(folder_ / "fill", std::vector<std::uint8_t>(available - free, 0));
    }

private:
    fs::path folder_;
    bool mounted_ = false;
};

TEST_F(OutputSafety, FullDiskKeepsTheOlderNoteAndReportsIt) {
    const SmallFileSystem disk(dir / "disk");
    // Without a small file system, a file size limit below the note's size
    // (16 blocks: 8 or 16 KiB, depending on the shell) makes the same fault.
    const std::string limit = disk.mounted() ? "" : "ulimit -f 16; ";
    const std::string reason = disk.mounted() ? "No space left on device" : "File too large";
    std::vector<std::uint8_t> old(5000);
    for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<std::uint8_t>(i * 13 + 1);
    const std::string target = (dir / "disk" / "old.wav").string();
    const std::string sample = in("a.wav");
    for (const std::string& command : {noteCommand(sample, target, "A4", ""), test::jobCommand(sample, target)}) {
        for (const std::uintmax_t free : {0, 4096, 12000, 20000}) {
            SCOPED_TRACE(command + " with " + std::to_string(free) + " bytes free");
            test::writeFileBytes(dir / "disk" / "old.wav", old);
            if (disk.mounted()) disk.leaveFree(free);
            const auto result = runCommand(limit + command + " 2>&1");
            EXPECT_EQ(result.exitCode, 0);
            EXPECT_EQ(test::readFileBytes(dir / "disk" / "old.wav"), old);
            EXPECT_NE(result.output.find("cannot write the output file " + target + ": " + reason), std::string::npos)
                << result.output;
            EXPECT_EQ(result.output.find("Output :"), std::string::npos) << result.output;
            std::set<std::string> expected{"old.wav"};
            if (disk.mounted() && fs::exists(dir / "disk" / "fill")) expected.insert("fill");
            EXPECT_EQ(folderNames(dir / "disk"), expected);
            if (!disk.mounted()) break;
        }
    }
    // With room for it the note replaces the older one.
    if (disk.mounted()) {
        disk.leaveFree(40000);
        const auto result = runCommand(noteCommand(sample, target, "A4", "") + " 2>&1");
        EXPECT_NE(result.output.find("Output : 26504 bytes"), std::string::npos) << result.output;
        EXPECT_TRUE(test::isWholeWave(test::readFileBytes(dir / "disk" / "old.wav")));
    }
}

TEST_F(OutputSafety, StandardOutputThatFailsIsReported) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    const std::string note = noteCommand(in("a.wav"), "-");
    // A full device.
    auto result = runCommand(note + " 2>&1 >/dev/full");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.output.find("kestrand: cannot write the note to standard output: No space left on device"),
              std::string::npos)
        << result.output;
    // A reader that has gone away: the program is not ended by the broken pipe.
    result = runCommand("(sleep 0.3; " + note + " 2>" + test::shellQuoted(in("err.txt")) + "; echo $? >" +
                        test::shellQuoted(in("status.txt")) + ") | true; sleep 1; cat " +
                        test::shellQuoted(in("err.txt")) + " " + test::shellQuoted(in("status.txt")));
    EXPECT_EQ(result.output, "kestrand: cannot write the note to standard output: Broken pipe.\n0\n");
}

TEST_F(OutputSafety, NamesAtTheFileSystemsLimitAreWritten) {
    // 255 bytes is the longest name most file systems take; the temporary
    // name beside it has a fixed length of its own.
    const std::string longest = std::string(251, 'n') + ".wav";
    auto result = runCommand(noteCommand(in("a.wav"), in(longest), "A4", "") + " 2>&1");
    EXPECT_NE(result.output.find("Output : 26504 bytes"), std::string::npos) << result.output;
    EXPECT_TRUE(test::isWholeWave(test::readFileBytes(dir / longest)));
    const std::string job = std::string(251, 'j') + ".wav";
    result = runCommand(test::jobCommand(in("a.wav"), in(job)) + " 2>&1");
    EXPECT_NE(result.output.find("Output : " + in(job)), std::string::npos) << result.output;
    EXPECT_TRUE(test::isWholeWave(test::readFileBytes(dir / job)));
    // One byte more is refused by the system: said so, and no success line.
    result = runCommand(noteCommand(in("a.wav"), in("x" + longest), "A4", "") + " 2>&1");
    EXPECT_NE(result.output.find("cannot write the output file"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("Output :"), std::string::npos) << result.output;
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq", longest, job}));
}

// Killed at random moments, renders of both programs leave the older note or
// a whole new one, never a cut-off file; what a kill during the write leaves
// behind is removed by a later write once it is old enough.
TEST_F(OutputSafety, KilledRendersLeaveOldOrWholeNotesAndLeftoversGo) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    constexpr int kKills = 60;
    std::vector<std::uint8_t> old(3000, 0x33);
    test::writeFileBytes(dir / "out.wav", old);
    fs::create_directory(dir / "seen");
    const auto script = test::writeScript(dir / "kill.sh",
                                          "cd " + test::shellQuoted(dir.path().string()) + "\n" + "for i in $(seq 1 " +
                                              std::to_string(kKills) +
                                              "); do\n"
                                              "  if [ $((i % 2)) -eq 0 ]; then " +
                                              noteCommand("a.wav", "out.wav") +
                                              " >/dev/null 2>&1 &\n"
                                              "  else " +
                                              test::jobCommand("a.wav", "out.wav") +
                                              " >/dev/null 2>&1 & fi\n"
                                              "  sleep $(printf '0.%03d' $(( $(od -An -N2 -tu2 /dev/urandom) % 30 )))\n"
                                              "  kill -9 $! 2>/dev/null; wait $! 2>/dev/null\n"
                                              "  cp out.wav seen/$i.wav\n"
                                              "done\n");
    ASSERT_EQ(runCommand(test::shellQuoted(script.string())).exitCode, 0);
    for (int i = 1; i <= kKills; ++i) {
        const auto seen = test::readFileBytes(dir / "seen" / (std::to_string(i) + ".wav"));
        EXPECT_TRUE(seen == old || test::isWholeWave(seen)) << "after kill " << i;
    }
    fs::remove_all(dir / "seen");
    fs::remove(script);
    // Whatever was left is a dead process's; aged past the margin for writers
    // on other machines, it goes with the next note written here.
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(1));
    }
    runCommand(noteCommand(in("a.wav"), in("out.wav")));
    EXPECT_EQ(folderNames(dir.path()), (std::set<std::string>{"a.wav", "a_wav.frq", "out.wav"}));
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
