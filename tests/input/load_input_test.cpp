#include "input/load_input.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

using test::TempDir;

TEST(LoaderChoice, MarkersFirstThenExtensions) {
    EXPECT_EQ(chooseLoader(L"/v/a.wav"), LoaderKind::Wave);
    EXPECT_EQ(chooseLoader(L"/v/a.WaV"), LoaderKind::Wave);
    EXPECT_EQ(chooseLoader(L"/v/a.aif"), LoaderKind::Aiff);
    EXPECT_EQ(chooseLoader(L"/v/a.AIFF"), LoaderKind::Aiff);
    EXPECT_EQ(chooseLoader(L"/v/a.aifc"), LoaderKind::ByExtension);
    EXPECT_EQ(chooseLoader(L"/v/a.Uri"), LoaderKind::Uri);
    EXPECT_EQ(chooseLoader(L"/v/a.flac"), LoaderKind::ByExtension);
    EXPECT_EQ(chooseLoader(L"/v/noextension"), LoaderKind::ByExtension);
    EXPECT_EQ(chooseLoader(L"/v.d/wav"), LoaderKind::ByExtension);
    // Command and module markers win over every extension.
    EXPECT_EQ(chooseLoader(L"/t/dec.exe /v/a.wav"), LoaderKind::CommandOutput);
    EXPECT_EQ(chooseLoader(L"\"/t/dec.exe\" /v/a.aif"), LoaderKind::CommandOutput);
    EXPECT_EQ(chooseLoader(L"/t/dec.dll a.wav"), LoaderKind::Plugin);
    EXPECT_EQ(chooseLoader(L"\"/t/dec.dll\" a.uri"), LoaderKind::Plugin);
    EXPECT_EQ(chooseLoader(L"/t/dec.exe x.dll a"), LoaderKind::CommandOutput);
    // The markers are case-sensitive and need the blank.
    EXPECT_EQ(chooseLoader(L"/t/dec.EXE a.wav"), LoaderKind::Wave);
    EXPECT_EQ(chooseLoader(L"/t/dec.dll"), LoaderKind::ByExtension);
}

// Voice folders come from anywhere: a sample whose name looks like a command
// line or a module with its argument is still only a sample.
TEST(LoaderChoice, ExistingFilesAreSamplesWhateverTheirNames) {
    TempDir dir;
    const test::ScopedWorkingFolder here(dir.path());
    const std::vector<std::uint8_t> sound = {1, 2, 3, 4};
    // Names Windows accepts too, and those with characters only POSIX allows.
    std::vector<std::string> names = {"x.exe ;touch pwned;.wav", "x.exe &touch pwned&.wav", "x.exe $(touch pwned).wav",
                                      "evil.dll a.wav", "x.exe ;touch pwned;.aiff"};
#ifndef _WIN32
    names.insert(names.end(), {"x.exe |touch pwned|.wav", "x.exe `touch pwned`.wav", "x.exe\" ;touch pwned;.wav"});
#endif
    for (const std::string& name : names) {
        test::writeFileBytes(dir / name, test::makeWaveImage(1, 1, 44100, 16, sound));
        const std::wstring input = widen(name);
        EXPECT_NE(chooseLoader(input), LoaderKind::CommandOutput) << name;
        EXPECT_NE(chooseLoader(input), LoaderKind::Plugin) << name;
        if (name.ends_with(".wav")) {
            const auto sample = loadInput(input, 0);
            ASSERT_TRUE(sample) << name;
            EXPECT_EQ(sample->bytes, sound) << name;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
    // A folder is no sample: the markers count again.
    std::filesystem::create_directory(dir / "d.exe x");
    EXPECT_EQ(chooseLoader(L"d.exe x"), LoaderKind::CommandOutput);
}

}  // namespace
}  // namespace kestrand
