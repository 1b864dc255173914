// Command lines in the input text: started without a shell, and only when
// the program lies in an allowed folder.
#include "input/decoder_trust.h"

#include <gtest/gtest.h>

#include "input/load_input.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::ScopedEnvironment;
using test::TempDir;

class NamedPrograms : public ::testing::Test {
protected:
    void SetUp() override {
        KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
        std::filesystem::create_directories(trusted / "sub");
        // Notes its arguments beside itself, then writes the named file.
        test::writeScript(trusted / "rec.exe",
                          "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.txt\"\nexec cat \"$1\"");
        test::writeScript(trusted / "rec.sh", "exec cat \"$1\"");
        // Leaves a mark when it runs at all.
        for (const auto& folder : {dir.path(), trusted / "sub"}) {
            test::writeScript(folder / "dec.exe", "touch \"$(dirname \"$0\")/ran\"\nexec cat \"$1\"");
        }
        test::writeFileBytes(dir / "a.wav", test::makeWaveImage(1, 1, 44100, 16, sound));
        test::writeFileBytes(dir / "my a.wav", test::makeWaveImage(1, 1, 44100, 16, sound));
    }

    struct Result {
        std::optional<LoadedSample> sample;
        std::string err;
    };
    static Result load(const std::string& text) {
        testing::internal::CaptureStderr();
        Result result;
        result.sample = loadInput(widen(text), 0);
        result.err = testing::internal::GetCapturedStderr();
        return result;
    }

    TempDir dir;
    std::filesystem::path trusted = dir / "dec 'q' dir";
    std::vector<std::uint8_t> sound = {5, 6, 7, 8};
};

TEST_F(NamedPrograms, CommandLinesRunWithoutAShell) {
    const test::ScopedWorkingFolder here(dir.path());
    ScopedEnvironment allowed("KESTRAND_TRUSTED_DECODERS", trusted.string());
    const auto result = load("\"" + (trusted / "rec.exe").string() +
                             "\" a.wav ;touch pwned; &touch pwned& |touch pwned| `touch pwned` $(touch pwned) "
                             ">redirected 'two words' \"x  y\"\tz\\");
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->bytes, sound);
    EXPECT_EQ(test::readFileText(trusted / "args.txt"),
              "a.wav\n;touch\npwned;\n&touch\npwned&\n|touch\npwned|\n`touch\npwned`\n$(touch\npwned)\n"
              ">redirected\n'two\nwords'\nx  y\nz\\\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
    EXPECT_FALSE(std::filesystem::exists(dir / "redirected"));
    // A bare name is looked for in the allowed folders, not in the working folder.
    std::filesystem::remove(trusted / "args.txt");
    ASSERT_TRUE(load("rec.exe \"my a.wav\"").sample);
    EXPECT_EQ(test::readFileText(trusted / "args.txt"), "my a.wav\n");
}

TEST_F(NamedPrograms, ProgramsOutsideTheAllowedFoldersAreRefused) {
    const test::ScopedWorkingFolder here(dir.path());
    // Empty and relative entries of the list allow nothing.
    ScopedEnvironment allowed("KESTRAND_TRUSTED_DECODERS", "::.:" + trusted.string() + ":");
    // A bare name seen only here, as each file is reported once per process.
    const std::string bare = dir.path().filename().string() + ".exe";
    std::filesystem::copy_file(dir / "dec.exe", dir / bare);
    // The message names the file with its folder's links and ".." resolved,
    // once per process however the file is named.
    const std::string refusedHere = (std::filesystem::canonical(dir.path()) / "dec.exe").string();
    const std::string refusedSub = (std::filesystem::canonical(trusted) / "sub" / "dec.exe").string();
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"./dec.exe a.wav", refusedHere},
        {(dir / "dec.exe").string() + " a.wav", ""},
        {"\"" + (trusted / ".." / "dec.exe").string() + "\" a.wav", ""},
        {bare + " a.wav", bare},
        {"\"" + (trusted / "sub" / "dec.exe").string() + "\" a.wav", refusedSub},
    };
    for (const auto& [text, shown] : refused) {
        const auto result = load(text);
        EXPECT_FALSE(result.sample) << text;
        EXPECT_EQ(result.err, shown.empty() ? ""
                                            : "kestrand: not running \"" + shown +
                                                  "\": programs named in the input name run only from kestrand's "
                                                  "folder (" +
                                                  narrow(*programFolder()) +
                                                  ") or from a folder listed in KESTRAND_TRUSTED_DECODERS.\n")
            << text;
    }
    // An allowed folder still runs only programs named "*.exe": never a batch file.
    auto result = load("rec.sh x.exe a.wav");
    EXPECT_FALSE(result.sample);
    EXPECT_NE(result.err.find("rec.sh\": a command in the input name must start with a program whose name ends in "
                              "\".exe\"."),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "ran"));
    EXPECT_FALSE(std::filesystem::exists(trusted / "sub" / "ran"));

    // The user's own loadmodule command runs from anywhere, and the sample's
    // name reaches it as one argument.
    ScopedEnvironment module("loadmodule", (dir / "dec.exe").string());
    result = load((dir / "dec.exe").string() + " my a.wav");
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.sample->bytes, sound);
    EXPECT_TRUE(std::filesystem::exists(dir / "ran"));
}

}  // namespace
}  // namespace kestrand
