#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <gtest/gtest.h>

#include "input/load_input.h"
#include "input/loaders.h"
#include "input/plugin_text.h"
#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::ScopedEnvironment;
using test::TempDir;

TEST(PluginText, SplitsModuleAndArgument) {
    auto input = splitPluginInput(L"/m/dec.dll   /v/a.WAV");
    ASSERT_TRUE(input);
    EXPECT_EQ(input->modulePath, L"/m/dec.dll");
    EXPECT_EQ(input->argument, L"/v/a");
    EXPECT_EQ(splitPluginInput(L"/m/dec.dll a.aif")->argument, L"a.aif");
    EXPECT_EQ(splitPluginInput(L"/m/dec.dll a.Aiff")->argument, L"a");
    EXPECT_EQ(splitPluginInput(L"/m/dec.dll a.mp3")->argument, L"a.mp3");
    EXPECT_EQ(splitPluginInput(L"/m/dec.dll x.dll b.wav")->modulePath, L"/m/dec.dll");
    EXPECT_EQ(splitPluginInput(L"/m/dec.dll x.dll b.wav")->argument, L"x.dll b");
    input = splitPluginInput(L"\"/m y/dec.dll\" a b.wav");
    ASSERT_TRUE(input);
    EXPECT_EQ(input->modulePath, L"/m y/dec.dll");
    EXPECT_EQ(input->argument, L"a b");
    EXPECT_FALSE(splitPluginInput(L"/m/dec.DLL a.wav"));
    EXPECT_FALSE(splitPluginInput(L"/m/dec.dll"));
}

// Builds the test module variants once for the whole suite.
class PluginLoader : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempDir;
        const auto compiler = test::findProgram("cc");
        if (!compiler) return;
        const auto source = std::filesystem::path(KESTRAND_SOURCE_DIR) / "tests/input/plugins/test_plugin.c";
        const std::vector<std::pair<std::string, std::vector<std::string>>> variants = {
            {"both.dll", {"-DWAVE_PAIR", "-DPCM_PAIR"}},
            {"pcm.dll", {"-DGETWAVE_ONLY", "-DPCM_PAIR"}},
            {"none.dll", {"-DGETWAVE_ONLY"}},
        };
        built_ = true;
        for (const auto& [name, defines] : variants) {
            std::vector<std::string> arguments = {compiler->string(), "-shared", "-fPIC", "-O1"};
            if (sizeof(void*) == 4) arguments.push_back("-m32");  // a module the 32-bit build can load
            arguments.insert(arguments.end(), defines.begin(), defines.end());
            arguments.insert(arguments.end(), {"-o", (folder_->path() / name).string(), source.string()});
            built_ = built_ && test::runProgram(arguments);
        }
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }

    void SetUp() override {
        if (!built_) GTEST_SKIP() << "no C compiler (cc) to build the test plug-in modules";
        std::filesystem::remove(logPath());
    }

    static std::filesystem::path module(const std::string& name) { return folder_->path() / name; }
    static std::filesystem::path logPath() { return folder_->path() / "calls.txt"; }
    static std::string log() { return test::readFileText(logPath()); }

    struct Result {
        std::optional<LoadedSample> sample;
        std::string out;
    };
    static Result load(const std::string& text, std::int32_t slack = 2) {
        ScopedEnvironment logVariable("KESTRAND_PLUGIN_LOG", logPath().string());
        ScopedEnvironment allowed("KESTRAND_TRUSTED_DECODERS", folder_->path().string());
        testing::internal::CaptureStdout();
        Result result;
        result.sample = loadFromPlugin(widen(text), slack);
        result.out = testing::internal::GetCapturedStdout();
        return result;
    }
    static bool stillLoaded(const std::string& name) {
#ifdef _WIN32
        return ::GetModuleHandleW(module(name).c_str()) != nullptr;
#else
        void* handle = ::dlopen(module(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle == nullptr) return false;
        ::dlclose(handle);
        return true;
#endif
    }

    static inline TempDir* folder_ = nullptr;
    static inline bool built_ = false;
};

TEST_F(PluginLoader, FirstPairWinsAndTheImageIsCopied) {
    const auto before = currentDirectory();
    const auto result = load(module("both.dll").string() + "   /voice/a.WAV");
    ASSERT_TRUE(result.sample);
    EXPECT_EQ(result.out, "");
    // Six bytes from offset 44 (the data size field, not the RIFF size), then two zero frames.
    EXPECT_EQ(result.sample->bytes, (std::vector<std::uint8_t>{10, 11, 12, 13, 14, 15, 0, 0, 0, 0}));
    EXPECT_EQ(result.sample->dataBytes, 6u);
    EXPECT_EQ(result.sample->info.samplesPerSec, 22050u);
    EXPECT_EQ(result.sample->info.blockAlign, 2);
    const std::string folder = folder_->path().string();
    EXPECT_EQ(log(), "getwave [/voice/a] 0 in " + folder + "\nfreewave [image] 0 in " + folder + "\n");
    EXPECT_EQ(currentDirectory(), before);
    EXPECT_FALSE(stillLoaded("both.dll"));
}

TEST_F(PluginLoader, SecondPairWhenTheFirstIsIncomplete) {
    const auto result = load(module("pcm.dll").string() + " take.aif");
    ASSERT_TRUE(result.sample);
    const std::string folder = folder_->path().string();
    EXPECT_EQ(log(), "getpcmdata [take.aif] 0 in " + folder + "\nfreepcm [image] 0 in " + folder + "\n");
    EXPECT_FALSE(stillLoaded("pcm.dll"));
}

TEST_F(PluginLoader, NullAndForeignImages) {
    auto result = load(module("both.dll").string() + " null");
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(result.out, "失敗\n");
    EXPECT_NE(log().find("freewave [null]"), std::string::npos);

    std::filesystem::remove(logPath());
    result = load(module("both.dll").string() + " notriff");
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(log().find("freewave [image]"), std::string::npos);
    EXPECT_FALSE(stillLoaded("both.dll"));
}

TEST_F(PluginLoader, ModulesThatCannotServe) {
    const auto before = currentDirectory();
    auto result = load(module("none.dll").string() + " a.wav");
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(result.out, "失敗\n");
    EXPECT_EQ(log(), "");
    EXPECT_FALSE(stillLoaded("none.dll"));

    result = load(module("missing.dll").string() + " a.wav");
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(result.out, "失敗\n");

    result = load("no module marker here.wav");
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(currentDirectory(), before);
}

TEST_F(PluginLoader, QuotedAndRelativeModulePaths) {
    const auto before = currentDirectory();
    ASSERT_TRUE(before);
    // A quoted module path.
    auto result = load("\"" + module("both.dll").string() + "\" a.wav");
    ASSERT_TRUE(result.sample);
    // A path relative to the working folder still names the module after the folder change.
    ASSERT_TRUE(changeDirectory(widen(folder_->path().parent_path().string())));
    result = load((folder_->path().filename() / "both.dll").string() + " a.wav");
    EXPECT_EQ(currentDirectory(), widen(folder_->path().parent_path().string()));
    ASSERT_TRUE(changeDirectory(*before));
    ASSERT_TRUE(result.sample);
}

TEST_F(PluginLoader, OverlongTextIsRefused) {
    testing::internal::CaptureStderr();
    const auto result = load(module("both.dll").string() + " " + std::string(700, 'a'));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("623"), std::string::npos);
    EXPECT_FALSE(result.sample);
    EXPECT_EQ(log(), "");
}

TEST_F(PluginLoader, LoadInputReachesTheModuleBeforeTheExtensionTests) {
    // As the loadmodule variable composes it: module, blank, sample name.
    const std::string text = module("both.dll").string() + " a.wav";
    EXPECT_EQ(chooseLoader(widen(text)), LoaderKind::Plugin);
    ScopedEnvironment logVariable("KESTRAND_PLUGIN_LOG", logPath().string());
    ScopedEnvironment allowed("KESTRAND_TRUSTED_DECODERS", folder_->path().string());
    const auto sample = loadInput(widen(text), 0);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->dataBytes, 6u);
    EXPECT_NE(log().find("getwave [a]"), std::string::npos);
}

// A module that a voice folder ships runs its own code as soon as it is
// loaded, so one outside the allowed folders is never loaded at all.
TEST_F(PluginLoader, ModulesOutsideTheAllowedFoldersAreNotLoaded) {
    const auto mark = folder_->path() / "loaded";
    ScopedEnvironment loadMark("KESTRAND_PLUGIN_LOADED", mark.string());
    ScopedEnvironment logVariable("KESTRAND_PLUGIN_LOG", logPath().string());
    const auto quotes = folder_->path() / "mod 'q' dir";
    std::filesystem::create_directory(quotes);
    std::filesystem::copy_file(module("both.dll"), quotes / "both.dll", std::filesystem::copy_options::skip_existing);
    ScopedEnvironment allowed("KESTRAND_TRUSTED_DECODERS", std::nullopt);
    for (const std::string& named : {module("both.dll").string(), (quotes / "both.dll").string()}) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(loadInput(widen("\"" + named + "\" a.wav"), 0));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "kestrand: not loading \"" + named +
                      "\": modules named in the input name load only from kestrand's folder (" +
                      narrow(*programFolder()) + ") or from a folder listed in KESTRAND_TRUSTED_DECODERS.\n");
    }
    EXPECT_FALSE(std::filesystem::exists(mark));
    EXPECT_EQ(log(), "");

    // Allowed, from a folder with blanks and quotes in its name.
    {
        ScopedEnvironment listed("KESTRAND_TRUSTED_DECODERS", quotes.string());
        const auto sample = loadInput(widen("\"" + (quotes / "both.dll").string() + "\" a.wav"), 0);
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->dataBytes, 6u);
        EXPECT_TRUE(std::filesystem::exists(mark));
    }

    // The user's own loadmodule module loads from anywhere.
    std::filesystem::remove(mark);
    ScopedEnvironment loadmodule("loadmodule", module("pcm.dll").string());
    const auto sample = loadInput(widen(module("pcm.dll").string() + " a.wav"), 0);
    ASSERT_TRUE(sample);
    EXPECT_NE(log().find("getpcmdata [a]"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(mark));
}

}  // namespace
}  // namespace kestrand
