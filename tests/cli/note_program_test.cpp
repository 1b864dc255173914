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

}  // namespace
}  // namespace kestrand
