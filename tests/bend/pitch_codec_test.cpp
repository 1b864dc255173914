#include "bend/pitch_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "bend/codec_stream.h"
#include "bend/pitch_bend.h"

namespace kestrand {
namespace {

using Values = std::vector<std::int16_t>;

Values values(const std::optional<PitchCurve>& curve) { return curve ? curve->values : Values{}; }

// The integration written out formula by formula, as the oracle of Integrator.
Values integrateLiterally(const std::vector<int>& e, int order) {
    const int k = order < 0 ? 0 : (order > 3 ? 3 : order);
    std::vector<int> y;
    const auto wrap = [](int v) { return static_cast<int>(static_cast<std::int16_t>(static_cast<std::uint16_t>(v))); };
    for (std::size_t i = 0; i < e.size(); ++i) {
        int v = e[i];
        if (i == 0 || k == 0) {
        } else if (i == 1 || k == 1) {
            v = e[i] + y[i - 1];
        } else if (i == 2 || k == 2) {
            v = e[i] + 2 * y[i - 1] - y[i - 2];
        } else {
            v = e[i] + 3 * y[i - 1] - 3 * y[i - 2] + y[i - 3];
        }
        y.push_back(wrap(v));
    }
    return Values(y.begin(), y.end());
}

TEST(CodecDifferences, IntegrationMatchesTheFormulasAndDifferencingInvertsIt) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> difference(-3000, 3000);
    for (int order = -1; order <= 5; ++order) {
        std::vector<int> e(500);
        for (int& d : e) d = difference(random);
        Values y;
        Integrator integrator(y, order);
        for (const int d : e) ASSERT_TRUE(integrator.push(d));
        ASSERT_EQ(y, integrateLiterally(e, order)) << order;
        for (std::size_t i = 0; i < y.size(); ++i) {
            const auto back = static_cast<std::int16_t>(static_cast<std::uint16_t>(orderDifference(y, i, order)));
            ASSERT_EQ(back, static_cast<std::int16_t>(static_cast<std::uint16_t>(e[i]))) << order << " " << i;
        }
    }
}

TEST(CodecDifferences, IntegratorStopsAtTheCurveLimit) {
    Values y;
    Integrator integrator(y, 1);
    for (std::size_t i = 0; i < kMaxPitchCurveValues; ++i) ASSERT_TRUE(integrator.push(1));
    EXPECT_FALSE(integrator.push(1));
    EXPECT_EQ(y.size(), kMaxPitchCurveValues);
    EXPECT_EQ(y.back(), 32767);
}

TEST(CodecLayers, CopyReferences) {
    EXPECT_EQ(expandCopies(L"AB[AA"), L"ABBBBB");
    EXPECT_EQ(expandCopies(L"ABCD[DA"), L"ABCDABCD");
    EXPECT_EQ(expandCopies(L"AB[A"), L"AB");    // missing digit ends the text
    EXPECT_EQ(expandCopies(L"AB[A.x"), L"AB");  // non-alphabet digit too
    EXPECT_EQ(expandCopies(L"AB[BAxy"), L"ABABABxy");
    EXPECT_EQ(expandCopies(L"AB[CAxy"), L"AB");  // distance 3 would reach before the start
    EXPECT_EQ(expandCopies(L"A[BA"), L"A");
    EXPECT_EQ(expandCopies(L"X{A/"), L"X" + std::wstring(131, L'X'));
    EXPECT_EQ(expandCopies(L"AB[AA", 3), L"ABB");
    EXPECT_EQ(packCopies(L"ABCDABCD"), std::optional<std::wstring>(L"ABCD[DA"));
    EXPECT_EQ(packCopies(L"ABCD"), std::optional<std::wstring>(L"ABCD"));
    EXPECT_EQ(packCopies(L"ABCABC"), std::optional<std::wstring>(L"ABCABC"));  // a match of 3 is not worth it
    EXPECT_FALSE(packCopies(L"").has_value());
}

TEST(CodecLayers, PackCopiesChoosesLongestThenNearestAndCaps) {
    // 200 equal characters: distance 1 matches everything, capped at 131; the
    // last 68 match at every distance and the nearest wins.
    const std::wstring text(200, L'Q');
    EXPECT_EQ(packCopies(text), std::optional<std::wstring>(L"Q{A/{AA"));
    // A stretch of 100 characters without inner repeats, then again: one far, long reference.
    std::wstring stretch;
    std::mt19937 random(3);
    std::uniform_int_distribution<int> digit(0, 63);
    while (stretch.size() < 100) {
        stretch += kPitchAlphabet[static_cast<std::size_t>(digit(random))];
        // Keep every 4-character window unique so that no shorter match exists.
        if (stretch.size() >= 4 && stretch.find(stretch.substr(stretch.size() - 4)) != stretch.size() - 4) {
            stretch.pop_back();
        }
    }
    const auto packed = packCopies(stretch + stretch);
    ASSERT_TRUE(packed.has_value());
    const std::wstring reference{L'}', kPitchAlphabet[35], kPitchAlphabet[32]};
    EXPECT_EQ(*packed, stretch + reference);
    EXPECT_EQ(expandCopies(*packed), stretch + stretch);
}

TEST(CodecLayers, Runs) {
    EXPECT_EQ(expandRuns(L"$A"), L"AAA");
    EXPECT_EQ(expandRuns(L"#AA"), std::wstring(67, L'A'));
    EXPECT_EQ(expandRuns(L"#//"), std::wstring(4162, L'A'));
    EXPECT_EQ(expandRuns(L"B$"), L"B");
    EXPECT_EQ(expandRuns(L"B$!C"), L"B");
    EXPECT_EQ(expandRuns(L"B#A"), L"B");
    EXPECT_EQ(expandRuns(L"B#A!"), L"B");
    EXPECT_EQ(expandRuns(L"x!@'"), L"x!@'");
    EXPECT_EQ(packRuns(L"A"), std::optional<std::wstring>(L"A"));
    EXPECT_EQ(packRuns(L"BAAC"), std::optional<std::wstring>(L"BAAC"));
    EXPECT_EQ(packRuns(L"AAA!"), std::optional<std::wstring>(L"$A!"));
    EXPECT_EQ(packRuns(std::wstring(66, L'A')), std::optional<std::wstring>(L"$/"));
    EXPECT_EQ(packRuns(std::wstring(67, L'A')), std::optional<std::wstring>(L"#AA"));
    EXPECT_EQ(packRuns(std::wstring(2114, L'A')), std::optional<std::wstring>(L"#/f"));
    EXPECT_EQ(packRuns(std::wstring(2115, L'A')), std::optional<std::wstring>(L"#/fA"));
    EXPECT_EQ(packRuns(std::wstring(5000, L'A') + L"B"), std::optional<std::wstring>(L"#/f#/f#BLB"));
    EXPECT_FALSE(packRuns(L"").has_value());
    for (const std::size_t n : {1u, 2u, 3u, 66u, 67u, 2114u, 2115u, 2116u, 4228u, 4229u, 10000u}) {
        const std::wstring text = L"x" + std::wstring(n, L'A') + L"y";
        EXPECT_EQ(expandRuns(*packRuns(text)), text) << n;
    }
    EXPECT_EQ(runCountCode(0), L"AA");
    EXPECT_EQ(runCountCode(65), L"BB");
    EXPECT_EQ(runCountCode(99999), L"/f");
    EXPECT_EQ(runCountCode(-99999), L"Ag");
}

TEST(EncCodec, DecodesTheDocumentedExamples) {
    EXPECT_EQ(values(decodeEnc(L"A/!A@AA", 0)), Values({0, -1, 32, 64}));
    EXPECT_EQ(values(decodeEnc(L"BB", 1)), Values({1, 2}));
    EXPECT_EQ(values(decodeEnc(L"BBA", 2)), Values({1, 2, 3}));
    EXPECT_EQ(values(decodeEnc(L"B$AB", 0)), Values({1, 0, 0, 0, 1}));
    EXPECT_EQ(values(decodeEnc(L"#AA", 0)), Values(67, 0));
    EXPECT_EQ(values(decodeEnc(L"B.'B", 0)), Values({1, 1}));  // others are ignored
    EXPECT_EQ(values(decodeEnc(L"B@.B", 0)), Values({1, 1}));  // "@" and a stranger are skipped together
    EXPECT_EQ(values(decodeEnc(L"B@B.B", 0)), Values({1}));    // a bad second digit ends the text
    EXPECT_EQ(values(decodeEnc(L"B!", 0)), Values({1}));
    EXPECT_EQ(values(decodeEnc(L"B!/", 0)), Values({1, -33}));
    EXPECT_EQ(values(decodeEnc(L"@/f@Ag@Ah", 0)), Values({2111, -2112, -2048}));
    EXPECT_FALSE(decodeEnc(L"", 0).has_value());
    EXPECT_FALSE(decodeEnc(L"..", 0).has_value());
}

TEST(EncCodec, ValueCodes) {
    EXPECT_EQ(encValueCode(5), L"F");
    EXPECT_EQ(encValueCode(-1), L"/");
    EXPECT_EQ(encValueCode(-32), L"g");
    EXPECT_EQ(encValueCode(32), L"!A");
    EXPECT_EQ(encValueCode(63), L"!f");
    EXPECT_EQ(encValueCode(-33), L"!/");
    EXPECT_EQ(encValueCode(-64), L"!g");
    EXPECT_EQ(encValueCode(64), L"@AA");
    EXPECT_EQ(encValueCode(-2048), L"@Ah");
    EXPECT_EQ(encValueCode(-30000), L"@Ah");
    EXPECT_EQ(encValueCode(30000), encValueCode(2047));
    EXPECT_EQ(encValueCode(65536 + 7), L"H");  // the low 16 bits only
    EXPECT_EQ(cmpValueCode(-1), L"'/");
    EXPECT_EQ(cmpValueCode(31), L"'f");
    EXPECT_EQ(cmpValueCode(32), L"!A");
    EXPECT_EQ(cmpValueCode(-2048), L"@Ah");
    for (int v = -2048; v <= 2047; ++v) {
        ASSERT_EQ(values(decodeEnc(encValueCode(v), 0)), Values({static_cast<std::int16_t>(v)})) << v;
        ASSERT_EQ(values(decodeCmp(cmpValueCode(v), 0)), Values({static_cast<std::int16_t>(v)})) << v;
    }
}

TEST(EncCodec, EncoderRefusesOrdersAbove4) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(encpitch(PitchCurve{{1, 2, 3}}, 5).has_value());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "encpitch: Argument 2 ist anomal.\n");
    EXPECT_FALSE(encpitch(PitchCurve{}, 0).has_value());
    EXPECT_EQ(encpitch(PitchCurve{{1, 2, 3, 3, 3, 3, 3, 4}}, 1), std::optional<std::wstring>(L"BBB$BB"));
    EXPECT_EQ(encpitch(PitchCurve{{1, 2, 3, 4}}, 2), std::optional<std::wstring>(L"BBAA"));
}

TEST(CmpCodec, DecodesTheDocumentedExamples) {
    EXPECT_EQ(values(decodeCmp(L"J", 0)), Values({1, 1}));
    EXPECT_EQ(values(decodeCmp(L"/", 0)), Values({-1, -1}));
    EXPECT_EQ(values(decodeCmp(L"'B!A@AA", 0)), Values({1, 32, 64}));
    EXPECT_EQ(values(decodeCmp(L"J.J", 0)), Values({1, 1}));  // an unknown character ends the text
    EXPECT_EQ(values(decodeCmp(L"J'", 0)), Values({1, 1}));
    EXPECT_EQ(values(decodeCmp(L"J@B", 0)), Values({1, 1}));
    EXPECT_EQ(values(decodeCmp(L"J@.BB", 0)), Values({1, 1}));
}

TEST(CmpCodec, EncoderPairsSmallDifferences) {
    // Differences 1, 1 pack into J; a lone small one goes out as its value code.
    EXPECT_EQ(encodeCmp(PitchCurve{{1, 1}}, 0), std::optional<std::wstring>(L"J"));
    EXPECT_EQ(encodeCmp(PitchCurve{{-1}}, 0), std::optional<std::wstring>(L"'/"));
    EXPECT_EQ(encodeCmp(PitchCurve{{-1, 100, 1, 1}}, 0), std::optional<std::wstring>(L"'/@kAJ"));
    EXPECT_FALSE(encodeCmp(PitchCurve{}, 0).has_value());
}

// Curves of the kinds a host sends, and some it does not.
Values randomCurve(std::mt19937& random, int kind, std::size_t length) {
    Values y;
    std::uniform_int_distribution<int> step(-40, 40);
    std::uniform_int_distribution<int> any(-2048, 2047);
    std::uniform_int_distribution<int> coin(0, 9);
    int value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        switch (kind) {
            case 0: value += step(random); break;                                                  // random walk
            case 1: value = static_cast<int>(80 * std::sin(0.2 * static_cast<double>(i))); break;  // vibrato
            case 2:
                if (coin(random) == 0 && i % 3000 == 0) value += any(random) / 4;
                break;                           // long flat runs
            case 3: value = any(random); break;  // noise
            default: value = 1234; break;        // one value
        }
        value = std::clamp(value, -2048, 2047);
        y.push_back(static_cast<std::int16_t>(value));
    }
    return y;
}

TEST(PitchCodecRoundTrip, EveryModeAndOrderReturnsTheCurve) {
    std::mt19937 random(99);
    std::uniform_int_distribution<int> shortLength(1, 400);
    for (const CodecMode mode : {CodecMode::Enc, CodecMode::Cmp, CodecMode::Hff, CodecMode::Other}) {
        for (int order = 0; order <= 4; ++order) {
            for (int trial = 0; trial < 60; ++trial) {
                const int kind = trial % 5;
                // Orders above 1 on noise give differences beyond what a code holds.
                if (kind == 3 && order >= 1 && mode != CodecMode::Hff) continue;
                const std::size_t length =
                    trial < 5 ? kMaxPitchCurveValues : static_cast<std::size_t>(shortLength(random));
                const PitchCurve curve{randomCurve(random, kind, length)};
                const auto text = encodePitchCodec(curve, order, mode);
                ASSERT_TRUE(text.has_value());
                ASSERT_EQ(values(decodePitchCodec(*text, order, mode)), curve.values)
                    << "mode " << static_cast<int>(mode) << " order " << order << " kind " << kind;
            }
        }
    }
}

TEST(PitchCodecRoundTrip, WrappingStepsAndSingleValues) {
    const PitchCurve wrap{{32767, -32768, 32767, 0, -32768}};
    EXPECT_EQ(values(decodePitchCodec(*encodePitchCodec(wrap, 1, CodecMode::Hff), 1, CodecMode::Hff)), wrap.values);
    for (const CodecMode mode : {CodecMode::Enc, CodecMode::Cmp, CodecMode::Hff}) {
        for (const std::int16_t v : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{2047}, std::int16_t{-2048}}) {
            const PitchCurve one{{v}};
            EXPECT_EQ(values(decodePitchCodec(*encodePitchCodec(one, 0, mode), 0, mode)), one.values);
        }
        const PitchCurve zeros{Values(kMaxPitchCurveValues, 0)};
        const auto text = encodePitchCodec(zeros, 2, mode);
        ASSERT_TRUE(text.has_value());
        EXPECT_LT(text->size(), 200u);
        EXPECT_EQ(values(decodePitchCodec(*text, 2, mode)), zeros.values);
    }
    EXPECT_FALSE(encodePitchCodec(PitchCurve{}, 0, CodecMode::Hff).has_value());
}

TEST(PitchCodecHostile, ExpansionIsBoundedByTheCurveLimit) {
    // Nested copies of run markers would expand to far more than a curve holds.
    std::wstring text;
    for (int i = 0; i < 43; ++i) text += L"#//";
    for (int i = 0; i < 2000; ++i) text += L"}//";
    for (const CodecMode mode : {CodecMode::Enc, CodecMode::Cmp, CodecMode::Hff}) {
        const auto curve = decodePitchCodec(text, 0, mode);
        if (mode == CodecMode::Hff) continue;  // all zero bits: the table header never ends
        ASSERT_TRUE(curve.has_value());
        EXPECT_EQ(curve->values.size(), kMaxPitchCurveValues);
    }
    std::wstring ignored(130, L'.');
    for (int i = 0; i < 5000; ++i) ignored += L"{/+";
    EXPECT_FALSE(decodePitchCodec(ignored, 0, CodecMode::Enc).has_value());
    EXPECT_EQ(values(decodePitchCodec(ignored + L"B", 0, CodecMode::Enc)), Values({1}));
}

TEST(PitchCodecHostile, MalformedTextsGiveWhatWasDecoded) {
    EXPECT_FALSE(decodePitchCodec(L"", 0, CodecMode::Enc).has_value());
    EXPECT_FALSE(decodePitchCodec(L"", 0, CodecMode::Hff).has_value());
    EXPECT_EQ(values(decodePitchCodec(L"BC[", 0, CodecMode::Enc)), Values({1, 2}));
    EXPECT_EQ(values(decodePitchCodec(L"BC]AA", 0, CodecMode::Enc)), Values({1, 2}));  // reaches before the start
    EXPECT_EQ(values(decodePitchCodec(L"BC#A", 0, CodecMode::Enc)), Values({1, 2}));
    EXPECT_EQ(values(decodePitchCodec(L"BC$", 0, CodecMode::Cmp)), Values({0, 1, 0, 2}));
    EXPECT_EQ(values(decodePitchCodec(std::wstring(L"BC\0BC", 5), 0, CodecMode::Enc)), Values({1, 2}));
}

TEST(PitchList, EncodesAndDecodesText) {
    std::vector<wchar_t> buffer(64, L'?');
    // 1, 3, 0, -3; reading stops at the first text that is not a number.
    const std::size_t length = encodePitchList(L"  1 2.5 -0.5 -2.6 x 7", buffer, 0, CodecMode::Enc);
    EXPECT_EQ(std::wstring(buffer.data(), length), L"BDA9");
    EXPECT_EQ(buffer[length], L'\0');
    EXPECT_EQ(buffer.back(), L'\0');

    // Asking for the length first, then a buffer that the result fills exactly.
    EXPECT_EQ(decodePitchList(L"BDA9", {}, 0, CodecMode::Enc), 8u);
    std::vector<wchar_t> exact(8, L'?');
    EXPECT_EQ(decodePitchList(L"BDA9", exact, 0, CodecMode::Enc), 8u);
    EXPECT_EQ(std::wstring(exact.begin(), exact.end()), L"1 3 0 -3");
    std::vector<wchar_t> small(3, L'?');
    EXPECT_EQ(decodePitchList(L"BDA9", small, 0, CodecMode::Enc), 8u);
    EXPECT_EQ(std::wstring(small.begin(), small.end()), L"1 3");

    std::vector<wchar_t> none(4, L'?');
    EXPECT_EQ(encodePitchList(L"", none, 0, CodecMode::Hff), 0u);
    EXPECT_EQ(std::wstring(none.begin(), none.end()), std::wstring(4, L'\0'));
    EXPECT_EQ(decodePitchList(L"", none, 0, CodecMode::Cmp), 0u);
}

TEST(PitchList, RoundTripsThroughEveryMode) {
    const std::wstring numbers = L"0 5 10 20 40 80 40 20 10 5 0 -5 -10 -20 -40 0 0 0 0 0 0 0";
    for (const CodecMode mode : {CodecMode::Enc, CodecMode::Cmp, CodecMode::Hff}) {
        for (int order = 0; order <= 3; ++order) {
            const std::size_t length = encodePitchList(numbers, {}, order, mode);
            std::vector<wchar_t> text(length);
            ASSERT_EQ(encodePitchList(numbers, text, order, mode), length);
            const std::wstring codec(text.begin(), text.end());
            std::vector<wchar_t> back(numbers.size() + 1);
            ASSERT_EQ(decodePitchList(codec, back, order, mode), numbers.size());
            EXPECT_EQ(std::wstring(back.data()), numbers);
        }
    }
}

}  // namespace
}  // namespace kestrand
