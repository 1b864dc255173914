// Notes rendered by the program from every kind of input: each compressed,
// downloaded or plug-in input made from a bundled WAV sample must render, and
// lossless ones must render exactly the bytes the WAV itself renders. The
// tests skip, with a message, when a program they need is missing.
#include <gtest/gtest.h>

#include "support/note_files.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::ScopedEnvironment;
using test::TempDir;

// Renders one quiet note from the input into the output file, with `folder`
// as the working folder when one is given; true when the file was written.
// What the program prints on standard error goes to `err` when asked for.
bool renderNote(const std::string& input, const std::filesystem::path& output, const std::filesystem::path& folder = {},
                std::string* err = nullptr, const std::filesystem::path& program = test::programPath()) {
    std::filesystem::remove(output);
    const std::string command = (folder.empty() ? "" : "cd " + test::shellQuoted(folder.string()) + " && ") +
                                test::shellQuoted(program.string()) + " " + test::shellQuoted(input) + " " +
                                test::shellQuoted(output.string()) +
                                " A4 100 n 0 300 50 0 100 0 '!120' AA 2>&1 >/dev/null";
    const std::string printed = test::runCommand(command).output;
    if (err != nullptr) *err = printed;
    return std::filesystem::exists(output) && std::filesystem::file_size(output) > 44;
}

class InputRender : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(test::voiceSample("a.wav"), dir / "a.wav");
        if (!renderNote((dir / "a.wav").string(), dir / "from-wav.wav")) {
            GTEST_SKIP() << "the program does not render a note from a WAV sample yet";
        }
        reference = test::readFileBytes(dir / "from-wav.wav");
    }

    // Makes a file with an outside program; skips when it is missing.
    bool make(const std::string& program, std::vector<std::string> arguments) {
        const auto path = test::findProgram(program);
        if (!path) return false;
        arguments.insert(arguments.begin(), path->string());
        return test::runProgram(arguments);
    }

    TempDir dir;
    std::vector<std::uint8_t> reference;
};

TEST_F(InputRender, FlacRendersTheSameBytesAsItsWav) {
    const auto flac = test::findProgram("flac");
    if (!flac) GTEST_SKIP() << "flac is not installed";
    const auto input = dir / "it's $(a) `b`; c.flac";
    ASSERT_TRUE(make("flac", {"-s", "-o", input.string(), (dir / "a.wav").string()}));
    ScopedEnvironment variable("flacpath", flac->string());
    ASSERT_TRUE(renderNote(input.string(), dir / "from-flac.wav"));
    EXPECT_EQ(test::readFileBytes(dir / "from-flac.wav"), reference);
    EXPECT_TRUE(std::filesystem::exists(input.string() + ".frq"));
}

TEST_F(InputRender, AiffRendersTheSameBytesAsItsWav) {
    if (!test::findProgram("sox")) GTEST_SKIP() << "sox is not installed (it makes the AIFF file)";
    ASSERT_TRUE(make("sox", {(dir / "a.wav").string(), (dir / "a.aiff").string()}));
    ASSERT_TRUE(renderNote((dir / "a.aiff").string(), dir / "from-aiff.wav"));
    EXPECT_EQ(test::readFileBytes(dir / "from-aiff.wav"), reference);
    EXPECT_TRUE(std::filesystem::exists(dir / "a.aiff.frq"));
}

TEST_F(InputRender, LossyInputsRender) {
    int rendered = 0;
    if (const auto lame = test::findProgram("lame")) {
        ASSERT_TRUE(make("lame", {"--quiet", (dir / "a.wav").string(), (dir / "a.mp3").string()}));
        ScopedEnvironment variable("lamepath", lame->string());
        EXPECT_TRUE(renderNote((dir / "a.mp3").string(), dir / "from-mp3.wav"));
        ++rendered;
    }
    const auto oggdec = test::findProgram("oggdec");
    if (oggdec && make("oggenc", {"-Q", "-o", (dir / "a.ogg").string(), (dir / "a.wav").string()})) {
        const auto wrapper = test::writeScript(
            dir / "oggdec-stdout", "[ \"$1\" = --stdout ] || exit 2\nexec '" + oggdec->string() + "' -Q -o - \"$2\"\n");
        ScopedEnvironment variable("oggdecpath", wrapper.string());
        EXPECT_TRUE(renderNote((dir / "a.ogg").string(), dir / "from-ogg.wav"));
        ++rendered;
    }
    const auto faad = test::findProgram("faad");
    if (faad && make("ffmpeg", {"-loglevel", "error", "-y", "-i", (dir / "a.wav").string(), "-c:a", "aac",
                                (dir / "a.m4a").string()})) {
        ScopedEnvironment variable("faadpath", faad->string());
        EXPECT_TRUE(renderNote((dir / "a.m4a").string(), dir / "from-m4a.wav"));
        ++rendered;
    }
    if (rendered == 0) GTEST_SKIP() << "none of lame, oggenc/oggdec, ffmpeg/faad is installed";
}

TEST_F(InputRender, UriDownloadRendersTheSameBytesAsItsWav) {
    const auto source = dir / "song.src";
    std::filesystem::copy_file(dir / "a.wav", source);
    test::writeFileBytes(dir / "song.uri", {'h', 't', 't', 'p', ':', '/', '/', 'x', '/', 'a', '.', 'w', 'a', 'v'});
    const auto downloader = test::writeScript(dir / "webget", "cat \"${1%.uri}.src\"\n");
    ScopedEnvironment variable("webgetpath", downloader.string());
    ASSERT_TRUE(renderNote((dir / "song.uri").string(), dir / "from-uri.wav"));
    EXPECT_EQ(test::readFileBytes(dir / "from-uri.wav"), reference);
    EXPECT_TRUE(std::filesystem::exists(dir / "song.uob"));
}

// Names a voice folder may hold: each is the sample it names and renders as
// that sample; nothing in the name is run.
TEST_F(InputRender, SampleNamesThatLookLikeCommandsRenderAsThemselves) {
    for (const std::string name : {"x.exe ;touch pwned;.wav", "x.exe &touch pwned&.wav", "x.exe |touch pwned|.wav",
                                   "x.exe `touch pwned`.wav", "x.exe $(touch pwned).wav", "evil.dll a.wav"}) {
        std::filesystem::copy_file(dir / "a.wav", dir / name);
        ASSERT_TRUE(renderNote(name, dir / "from-name.wav", dir.path())) << name;
        EXPECT_EQ(test::readFileBytes(dir / "from-name.wav"), reference) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
    // Its list lies beside it like any sample's, not in a decoder's cache folder.
    EXPECT_TRUE(std::filesystem::exists(dir / "evil.dll a_wav.frq"));
    EXPECT_FALSE(std::filesystem::exists(dir / "x.exe#frequenz"));
}

// A decoder program beside the kestrand program is allowed, found by its bare
// name; one in the voice's folder is refused and no note is written.
TEST_F(InputRender, DecoderProgramsRunOnlyFromAllowedFolders) {
    const auto installed = dir / "bin 'x' \"y\"";
    std::filesystem::create_directory(installed);
    std::filesystem::copy_file(test::programPath(), installed / "kestrand");
    test::writeScript(installed / "dec.exe", "exec cat \"$1\"");
    ASSERT_TRUE(renderNote("dec.exe a.wav", dir / "from-dec.wav", dir.path(), nullptr, installed / "kestrand"));
    EXPECT_EQ(test::readFileBytes(dir / "from-dec.wav"), reference);

    test::writeScript(dir / "dec.exe", "touch ran\nexec cat \"$1\"");
    std::string err;
    EXPECT_FALSE(renderNote("./dec.exe a.wav", dir / "refused.wav", dir.path(), &err, installed / "kestrand"));
    EXPECT_EQ(err, "kestrand: not running \"" + (std::filesystem::canonical(dir.path()) / "dec.exe").string() +
                       "\": programs named in the input name run only from kestrand's folder (" +
                       std::filesystem::canonical(installed).string() +
                       ") or from a folder listed in KESTRAND_TRUSTED_DECODERS.\nDatei hat nicht gefunden.\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "refused.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir / "ran"));
}

class PluginRender : public InputRender {
protected:
    void SetUp() override {
        InputRender::SetUp();
        if (IsSkipped()) return;
        const auto compiler = test::findProgram("cc");
        if (!compiler) GTEST_SKIP() << "no C compiler (cc) to build the test plug-in module";
        std::filesystem::create_directory(dir / "mod");
        module = dir / "mod" / "serve.dll";
        const auto source = std::filesystem::path(KESTRAND_SOURCE_DIR) / "tests/input/plugins/test_plugin.c";
        std::vector<std::string> arguments = {compiler->string(), "-shared", "-fPIC", "-DWAVE_PAIR"};
        if (sizeof(void*) == 4) arguments.push_back("-m32");  // a module the 32-bit build can load
        arguments.insert(arguments.end(), {"-o", module.string(), source.string()});
        ASSERT_TRUE(test::runProgram(arguments));
        // The module serves "<argument>.wav" from its own folder.
        std::filesystem::copy_file(dir / "a.wav", dir / "mod" / "a.wav");
    }
    std::filesystem::path module;
};

TEST_F(PluginRender, ModuleInputRendersAndKeepsItsListBesideTheModule) {
    ScopedEnvironment allowed("KESTRAND_TRUSTED_DECODERS", (dir / "mod").string());
    ASSERT_TRUE(renderNote(module.string() + " a", dir / "from-module.wav"));
    EXPECT_EQ(test::readFileBytes(dir / "from-module.wav"), reference);
    EXPECT_TRUE(std::filesystem::exists(module.string() + "#frequenz"));
}

TEST_F(PluginRender, ModuleOutsideTheAllowedFoldersIsRefused) {
    std::string err;
    EXPECT_FALSE(renderNote(module.string() + " a", dir / "refused.wav", {}, &err));
    EXPECT_NE(err.find("kestrand: not loading \"" + module.string() + "\""), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "refused.wav"));
}

TEST_F(PluginRender, LoadmoduleWithAWavSampleNameReachesTheModule) {
    ScopedEnvironment variable("loadmodule", module.string());
    ASSERT_TRUE(renderNote("/elsewhere/a.wav", dir / "from-loadmodule.wav"));
    EXPECT_EQ(test::readFileBytes(dir / "from-loadmodule.wav"), reference);
}

}  // namespace
}  // namespace kestrand
