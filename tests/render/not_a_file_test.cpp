// A named pipe, a device or a folder where the programs expect a file (the
// sample, its frequency list, a parameter file) is refused with a message or
// replaced, never waited on: an ordinary open of a pipe without a writer
// blocks for ever, and with it the host waiting for the note. Every command
// runs under a time limit, so a regression fails instead of hanging.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/note_files.h"
#include "support/test_files.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kestrand {
namespace {

namespace fs = std::filesystem;
using test::runCommand;

TEST(NotAFile, PipesDevicesAndFoldersAreNeverWaitedOn) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
#ifndef _WIN32
    const auto limited = [](const std::string& command) { return "timeout 20 " + command + " 2>&1; echo status=$?"; };
    test::TempDir dir;
    const auto in = [&](const std::string& name) { return (dir / name).string(); };
    fs::copy_file(test::voiceSample("a.wav"), dir / "a.wav");
    ASSERT_EQ(::mkfifo(in("pipe.wav").c_str(), 0600), 0);
    fs::create_directory(dir / "folder.wav");

    for (const std::string& sample : {in("pipe.wav"), in("folder.wav"), std::string("/dev/zero")}) {
        const auto result = runCommand(limited(test::noteCommand(sample, in("out.wav"))));
        EXPECT_NE(result.output.find(sample + " is a"), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("not a file; it is not read.\nDatei hat nicht gefunden.\nstatus=0"),
                  std::string::npos)
            << result.output;
    }
    EXPECT_FALSE(fs::exists(dir / "out.wav"));

    // A pipe where the sample's list belongs is not read; the sample is
    // analysed and its list takes the pipe's place.
    ASSERT_EQ(::mkfifo(in("a_wav.frq").c_str(), 0600), 0);
    auto result = runCommand(limited(test::noteCommand(in("a.wav"), in("out.wav"))));
    EXPECT_NE(result.output.find("status=0"), std::string::npos) << result.output;
    EXPECT_TRUE(test::isWholeWave(test::readFileBytes(dir / "out.wav")));
    EXPECT_TRUE(fs::is_regular_file(dir / "a_wav.frq"));

    // A parameter file that is a pipe.
    ASSERT_EQ(::mkfifo(in("job.txt").c_str(), 0600), 0);
    result = runCommand(limited(test::shellQuoted(test::programPath("kestrandjob").string()) + " -af " +
                                test::shellQuoted(in("job.txt"))));
    EXPECT_NE(result.output.find("The parameter file " + in("job.txt") + " is a named pipe, not a file"),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("status=0"), std::string::npos) << result.output;
#endif
}

}  // namespace
}  // namespace kestrand
