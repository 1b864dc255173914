#include "input/load_input.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace kestrand {
namespace {

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

TEST(LoaderChoice, HostCommandLinesRunThroughTheShell) {
    KESTRAND_SKIP_WITHOUT_POSIX_SHELL();
    const auto sample = loadInput(
        L"true.exe 2>/dev/null; printf 'RIFF....WAVEfmt \\020\\0\\0\\0\\1\\0\\1\\0"
        L"\\104\\254\\0\\0\\210\\130\\1\\0\\2\\0\\020\\0data\\0\\0\\0\\0ab'",
        1);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->dataBytes, 2u);
    EXPECT_EQ(sample->bytes, (std::vector<std::uint8_t>{'a', 'b', 0, 0}));
    EXPECT_EQ(sample->info.samplesPerSec, 44100u);
}

}  // namespace
}  // namespace kestrand
