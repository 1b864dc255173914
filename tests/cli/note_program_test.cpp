#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/test_files.h"

namespace kestrand {
namespace {

using test::runCommand;

std::string program() { return "'" + test::programPath().string() + "'"; }

TEST(Program, WithoutArgumentsPrintsTwoBannerLinesAndExitsWithOne) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    const auto result = runCommand(program() + " 2>&1");
    EXPECT_EQ(result.exitCode, 1);
    const std::string bits = sizeof(void*) == 8 ? "(64-bit)" : "(32-bit)";
    ASSERT_EQ(result.output.rfind("kestrand ", 0), 0u) << result.output;
    const std::size_t firstEnd = result.output.find('\n');
    ASSERT_NE(firstEnd, std::string::npos);
    EXPECT_EQ(result.output.substr(firstEnd - bits.size(), bits.size()), bits);
    const std::size_t secondEnd = result.output.find('\n', firstEnd + 1);
    ASSERT_NE(secondEnd, std::string::npos);
    EXPECT_EQ(secondEnd + 1, result.output.size()) << "exactly two lines";
}

TEST(Program, WithOneArgumentWritesNothingAndExitsWithZero) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    const auto result = runCommand(program() + " whatever.wav 2>&1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
}

TEST(Program, GFlagNoticeOnlyBesideTempBatAndNotForNul) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    const std::string cd = "cd '" + dir.path().string() + "' && ";
    const std::string note = " missing.wav out.wav C4 100 G 2>/dev/null";
    EXPECT_EQ(runCommand(cd + program() + note).output.find("NOTICE"), std::string::npos);
    std::ofstream(dir / "temp.bat") << "rem\n";
    EXPECT_NE(runCommand(cd + program() + note).output.find("There seems to be a 'G' flag in the note."),
              std::string::npos);
    EXPECT_EQ(runCommand(cd + program() + " missing.wav nul C4 100 G 2>/dev/null").output.find("NOTICE"),
              std::string::npos);
}

TEST(Program, MissingSampleReportsAndWritesNoFile) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    test::TempDir dir;
    const std::string out = (dir / "out.wav").string();
    const auto result = runCommand(program() + " '" + (dir / "missing.wav").string() + "' '" + out + "' A4 100 2>&1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.output.find("Datei hat nicht gefunden."), std::string::npos) << result.output;
    EXPECT_FALSE(std::filesystem::exists(out));
}

// --help and --version as the only argument answer in English on standard
// output with status 0, for every program; the version names the word size
// and the vector path.
TEST(Program, EveryProgramAnswersHelpAndVersion) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    const std::string bits = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    for (const std::string name : {"kestrand", "kestrandjob", "kestrandpitch", "kestrandfrq"}) {
        const std::string path = "'" + test::programPath(name).string() + "'";
        const auto help = runCommand(path + " --help 2>/dev/null");
        EXPECT_EQ(help.exitCode, 0) << name;
        EXPECT_EQ(help.output.rfind("Usage: " + name + " ", 0), 0u) << help.output;
        EXPECT_NE(help.output.find("README.md"), std::string::npos) << name;
        EXPECT_EQ(help.output.find("Argument"), std::string::npos) << name << " printed its old usage lines";
        const auto version = runCommand(path + " --version 2>/dev/null");
        EXPECT_EQ(version.exitCode, 0) << name;
        EXPECT_EQ(version.output.rfind(name + " " + KESTRAND_VERSION + " (" + bits + ", vector path ", 0), 0u)
            << version.output;
    }
    const auto help = runCommand(program() + " --help");
    for (const char* section : {"Positional arguments:", "Flags", "Environment:", "OUTPUT_SAMPLES_PER_SEC"})
        EXPECT_NE(help.output.find(section), std::string::npos) << section;
}

}  // namespace
}  // namespace kestrand
