// Which list files belong to an input text.
#include <gtest/gtest.h>

#include "f0/list_names.h"
#include "platform/files.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

// The cases are written with "/"; the names are split and joined at this
// system's separator.
std::wstring p(std::wstring text) {
    for (auto& c : text) {
        if (c == L'/') c = kPathSeparator;
    }
    return text;
}

TEST(FrequencyListNames, PlainSamplePaths) {
    auto names = frequencyListNamesFor(p(L"/v/a.wav"));
    EXPECT_FALSE(names.decoder);
    EXPECT_EQ(names.first, p(L"/v/a_wav.frq"));
    names = frequencyListNamesFor(p(L"/v/a.aif"));
    EXPECT_EQ(names.first, p(L"/v/a.aif.frq"));
    names = frequencyListNamesFor(p(L"/v/a.mp3"));
    EXPECT_EQ(names.first, p(L"/v/a.mp3.frq"));
    // A sample whose name holds a decoder marker is still a sample.
    test::TempDir dir;
    test::writeFileBytes(dir / "x.exe ;y.wav", {});
    names = frequencyListNamesFor(test::widePath(dir / "x.exe ;y.wav"));
    EXPECT_FALSE(names.decoder);
    EXPECT_EQ(names.first, test::widePath(dir / "x.exe ;y_wav.frq"));
}

TEST(FrequencyListNames, DecoderProgramWithQuotedArgument) {
    const auto names = frequencyListNamesFor(p(L"/t/dec.exe \"/v/a.mp3\""));
    EXPECT_TRUE(names.decoder);
    EXPECT_EQ(names.cacheDirectory, p(L"/t/dec.exe#frequenz"));
    EXPECT_EQ(names.first, p(L"/t/+#v#a.mp3+.frq"));
    EXPECT_EQ(names.second, p(L"/t/dec.exe#frequenz/+#v#a.mp3+.frq"));
}

TEST(FrequencyListNames, TailRewriting) {
    const auto names = frequencyListNamesFor(p(L"/t/dec.exe    -d C:x*y?z w"));
    EXPECT_EQ(names.first, p(L"/t/-d_C#x+y+z_w.frq"));
}

TEST(FrequencyListNames, WaveTailGetsTheUnderscoreOnlyInTheFirstName) {
    const auto names = frequencyListNamesFor(p(L"/t/dec.dll /v/a.wav"));
    EXPECT_EQ(names.cacheDirectory, p(L"/t/dec.dll#frequenz"));
    EXPECT_EQ(names.first, p(L"/t/#v#a_wav.frq"));
    EXPECT_EQ(names.second, p(L"/t/dec.dll#frequenz/#v#a.wav.frq"));
}

// A quoted decoder path is found by the second search; the tail starts with
// the closing quote and the first name keeps everything up to the last
// separator. The cache folder lies beside the decoder, without the quote.
TEST(FrequencyListNames, QuotedDecoderPath) {
    const auto names = frequencyListNamesFor(p(L"\"/t/dec.exe\" /v/a.mp3"));
    EXPECT_TRUE(names.decoder);
    EXPECT_EQ(names.cacheDirectory, p(L"/t/dec.exe#frequenz"));
    EXPECT_EQ(names.second, p(L"/t/dec.exe#frequenz/+_#v#a.mp3.frq"));
    EXPECT_EQ(names.source, p(L"/t/dec.exe"));
    EXPECT_EQ(names.first, p(L"\"/t/dec.exe\" /v/+_#v#a.mp3.frq"));
}

TEST(FrequencyListNames, DecoderWithoutArguments) {
    const auto names = frequencyListNamesFor(p(L"/t/dec.exe "));
    EXPECT_EQ(names.first, p(L"/t/.frq"));
    EXPECT_EQ(names.second, p(L"/t/dec.exe#frequenz/.frq"));
}

TEST(FrequencyListNames, TextsOfAnyLengthHaveNames) {
    const std::wstring longName = p(L"/v/") + std::wstring(700, L'a') + L".wav";
    EXPECT_EQ(frequencyListNamesFor(longName).first, p(L"/v/") + std::wstring(700, L'a') + L"_wav.frq");
    const auto decoder = frequencyListNamesFor(p(L"/t/dec.exe ") + std::wstring(300, L'a'));
    EXPECT_EQ(decoder.second, p(L"/t/dec.exe#frequenz/") + std::wstring(300, L'a') + L".frq");
    EXPECT_EQ(decoder.source, p(L"/t/dec.exe"));
}

}  // namespace
}  // namespace kestrand
