#include "bend/pitch_bend.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kestrand {
namespace {

std::vector<std::int16_t> decoded(std::wstring_view text) {
    const auto curve = decodePitchBend(text);
    if (!curve) return {};
    return curve->values;
}

using Values = std::vector<std::int16_t>;

TEST(PitchAlphabet, DigitValuesCoverTheAlphabetAndNothingElse) {
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(pitchDigitValue(kPitchAlphabet[static_cast<std::size_t>(i)]), i);
        EXPECT_EQ(pitchDigitChar(i), kPitchAlphabet[static_cast<std::size_t>(i)]);
    }
    for (wchar_t c : std::wstring(L"#$!@[]{}'= \0-_.\u00e9", 17)) {
        EXPECT_EQ(pitchDigitValue(c), -1) << static_cast<int>(c);
        EXPECT_EQ(pitchDigitValueOrZero(c), 0);
    }
}

TEST(PitchAlphabet, CodePairIsTwelveBitsHighDigitFirst) {
    EXPECT_EQ(pitchCodePair(0), L"AA");
    EXPECT_EQ(pitchCodePair(1), L"AB");
    EXPECT_EQ(pitchCodePair(-1), L"//");
    EXPECT_EQ(pitchCodePair(2047), L"f/");
    EXPECT_EQ(pitchCodePair(-2048), L"gA");
    EXPECT_EQ(pitchCodePair(4096 + 5), L"AF");  // only the twelve low bits
    EXPECT_EQ(pitchCodeChar(65), L"B");
    EXPECT_EQ(pitchCodeChar(-1), L"/");
}

TEST(PitchAlphabet, AppendTextGrowsOrKeeps) {
    EXPECT_FALSE(appendText(std::nullopt, L"").has_value());
    EXPECT_EQ(appendText(std::nullopt, L"ab"), std::optional<std::wstring>(L"ab"));
    EXPECT_EQ(appendText(std::wstring(L"x"), L""), std::optional<std::wstring>(L"x"));
    EXPECT_EQ(appendText(std::wstring(L"x"), L"yz"), std::optional<std::wstring>(L"xyz"));
}

TEST(PitchAlphabet, SamplesPerPitchStep) {
    EXPECT_DOUBLE_EQ(samplesPerPitchStep(120.0, 44100.0), 0.625 / 120.0 * 44100.0 + 0.5);
    EXPECT_EQ(static_cast<int>(samplesPerPitchStep(120.0, 44100.0)), 230);
}

TEST(PitchBendDecode, SinglePairs) {
    EXPECT_EQ(decoded(L"AA"), Values({0}));
    EXPECT_EQ(decoded(L"//"), Values({-1}));
    EXPECT_EQ(decoded(L"f/"), Values({2047}));
    EXPECT_EQ(decoded(L"gA"), Values({-2048}));
}

TEST(PitchBendDecode, OddLengthAndStrangersCountAsZero) {
    EXPECT_EQ(decoded(L"A"), Values({0}));
    EXPECT_EQ(decoded(L"AB/"), Values({1, -64}));
    EXPECT_EQ(decoded(L"?B"), Values({1}));
    EXPECT_EQ(decoded(L"B#"), Values({64}));  // "#" in second place is digit 0
}

TEST(PitchBendDecode, Runs) {
    EXPECT_EQ(decoded(L"AA#3#AB"), Values({0, 0, 0, 0, 1}));
    EXPECT_EQ(decoded(L"#3#AB"), Values({0, 0, 0, 1}));
    EXPECT_EQ(decoded(L"AB#0#AC"), Values({1, 2}));
    EXPECT_EQ(decoded(L"AB#-4#AC"), Values({1, 2}));
    EXPECT_EQ(decoded(L"AB#x#"), Values({1}));
    EXPECT_EQ(decoded(L"AB# 2XAC"), Values({1, 1, 1, 2}));  // blanks before the number, closing mark unchecked
    EXPECT_EQ(decoded(L"AB#2"), Values({1, 1, 1}));         // missing closing mark at the end
}

TEST(PitchBendDecode, NothingDecodedGivesNoCurve) {
    EXPECT_FALSE(decodePitchBend(L"").has_value());
    EXPECT_FALSE(decodePitchBend(L"#0#").has_value());
    EXPECT_FALSE(decodePitchBend(std::wstring(L"\0AA", 3)).has_value());  // ends at the terminator
}

TEST(PitchBendDecode, HugeRunsStopAtTheCountLimit) {
    auto curve = decodePitchBend(L"AB#99999999999999999999#AC");
    ASSERT_TRUE(curve.has_value());
    EXPECT_EQ(curve->values.size(), kMaxPitchCurveValues);
    EXPECT_EQ(curve->values.back(), 1);

    std::wstring many;
    for (int i = 0; i < 20000; ++i) many += L"AB#2147483647#";
    curve = decodePitchBend(many);
    ASSERT_TRUE(curve.has_value());
    EXPECT_EQ(curve->values.size(), kMaxPitchCurveValues);

    std::wstring pairs(2 * 40000, L'B');
    curve = decodePitchBend(pairs);
    ASSERT_TRUE(curve.has_value());
    EXPECT_EQ(curve->values.size(), kMaxPitchCurveValues);
    EXPECT_EQ(curve->values[0], 65);
}

TEST(PitchBendEncode, Examples) {
    EXPECT_EQ(encodePitchBend(PitchCurve{{5, 5, 5, 5}}), std::optional<std::wstring>(L"AF#3#"));
    EXPECT_EQ(encodePitchBend(PitchCurve{{5, 5}}), std::optional<std::wstring>(L"AFAF"));
    EXPECT_EQ(encodePitchBend(PitchCurve{{7}}), std::optional<std::wstring>(L"AH"));
    EXPECT_EQ(encodePitchBend(PitchCurve{{0, 0, 0, 1, 1}}), std::optional<std::wstring>(L"AA#2#ABAB"));
    EXPECT_FALSE(encodePitchBend(PitchCurve{}).has_value());
    EXPECT_EQ(decoded(L"AF#3#"), Values({5, 5, 5, 5}));
}

TEST(PitchBendEncode, RandomCurvesRoundTrip) {
    std::mt19937 random(1234);
    for (int trial = 0; trial < 500; ++trial) {
        std::uniform_int_distribution<int> length(1, trial < 10 ? 32767 : 300);
        std::uniform_int_distribution<int> value(-2048, 2047);
        std::uniform_int_distribution<int> repeat(0, 3);
        Values values;
        const int n = length(random);
        while (static_cast<int>(values.size()) < n) {
            const auto v = static_cast<std::int16_t>(value(random));
            const int copies = repeat(random) == 0 ? 1 + repeat(random) * 40 : 1;
            for (int c = 0; c < copies && static_cast<int>(values.size()) < n; ++c) values.push_back(v);
        }
        const auto text = encodePitchBend(PitchCurve{values});
        ASSERT_TRUE(text.has_value());
        ASSERT_EQ(decoded(*text), values) << *text;
    }
}

TEST(PitchBendEncode, OutOfRangeValuesWrapModulo4096) {
    EXPECT_EQ(decoded(*encodePitchBend(PitchCurve{{3000, -3000}})), Values({3000 - 4096, -3000 + 4096}));
}

}  // namespace
}  // namespace kestrand
