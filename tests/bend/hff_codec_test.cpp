#include "bend/hff_codec.h"

#include <gtest/gtest.h>

#include <random>

#include "bend/pitch_bend.h"
#include "bend/pitch_codec.h"

namespace kestrand {
namespace {

using Values = std::vector<std::int16_t>;

Values values(const std::optional<PitchCurve>& curve) { return curve ? curve->values : Values{}; }

TEST(HffBits, BitTextAndExpGolomb) {
    EXPECT_EQ(bitText(5, 4), "0101");
    EXPECT_EQ(bitText(5, 0), "");
    EXPECT_EQ(bitText(5, -3), "");
    EXPECT_EQ(expGolombCode(2, 4), "10010");
    EXPECT_EQ(expGolombCode(0, 3), "1000");
    EXPECT_EQ(expGolombCode(1, 0), "010");
    EXPECT_EQ(expGolombCode(0, 0), "1");
    EXPECT_EQ(expGolombCode(7, 0), "0001000");
    for (const int order : {0, 3, 4}) {
        for (std::uint32_t v : {0u, 1u, 2u, 15u, 16u, 17u, 1000u, 65535u, 4000000000u}) {
            const std::string code = expGolombCode(v, order);
            EXPECT_EQ(static_cast<int>(code.size()), expGolombLength(v, order));
            EXPECT_EQ(expGolombLengthAt(code + "0101", order), code.size());
            std::size_t position = 0;
            EXPECT_EQ(expGolombRead(code + "11", order, position), v);
            EXPECT_EQ(position, code.size());
        }
    }
    std::size_t position = 0;
    EXPECT_FALSE(expGolombRead("0000", 0, position).has_value());  // the prefix runs to the end
    EXPECT_FALSE(expGolombLengthAt("000", 0).has_value());
    position = 0;
    EXPECT_EQ(expGolombRead("001", 0, position), 3u);  // missing bits read as 0: 100 - 1
    EXPECT_EQ(position, 5u);
}

TEST(HffBits, Zigzag) {
    EXPECT_EQ(zigzag(0), 0);
    EXPECT_EQ(zigzag(-1), 1);
    EXPECT_EQ(zigzag(1), 2);
    EXPECT_EQ(zigzag(-2), 3);
    EXPECT_EQ(zigzag(32767), 65534);
    EXPECT_EQ(zigzag(-32768), 65535);
    for (int s = -32768; s <= 32767; ++s) ASSERT_EQ(unzigzag(zigzag(static_cast<std::int16_t>(s))), s);
    EXPECT_EQ(unzigzag(65536 + 3), -2);  // 16 bits only
}

TEST(HffBits, EndMark) {
    const std::wstring of21 = packBitsWithEndMark(std::string(21, '1'));
    ASSERT_EQ(of21.size(), 4u);
    EXPECT_EQ(pitchDigitValue(of21.back()) & 7, 0);
    EXPECT_EQ(packBitsWithEndMark(std::string(18, '1')), L"///D");
    EXPECT_EQ(packBitsWithEndMark(std::string(17, '1')), L"//+E");
    EXPECT_EQ(packBitsWithEndMark(std::string(16, '1')), L"//8F");
    EXPECT_EQ(packBitsWithEndMark(std::string(13, '1')), L"//i");  // 1 then five fill bits, the low three carrying 2
    for (std::size_t n = 0; n < 40; ++n) {
        const std::string bits = std::string(n, '1');
        const std::string all = textBits(packBitsWithEndMark(bits));
        const std::size_t mark = static_cast<std::size_t>(std::stoi(all.substr(all.size() - 3), nullptr, 2));
        ASSERT_EQ(all.size() - mark - 3, n);
        ASSERT_EQ(all.substr(0, n), bits);
    }
    EXPECT_EQ(textBits(L"B."), "000001111111");
}

TEST(HffCodec, DocumentedExample) {
    const PitchCurve curve{{0, 1, 0, 1}};
    EXPECT_EQ(encodeHff(curve, 0), std::optional<std::wstring>(L"lCqo"));
    EXPECT_EQ(values(decodeHff(L"lCqo", 0)), curve.values);
    EXPECT_EQ(values(decodeHff(L"lCqo", 1)), Values({0, 1, 1, 2}));
    EXPECT_EQ(values(decodePitchCodec(L"lCqo", 0, CodecMode::Hff)), curve.values);
}

TEST(HffCodec, PayloadEndingInsideACodeKeepsEarlierValues) {
    // N = 2, symbol 0 with length 2 (code 00), symbol 1 with length 2 (code 01);
    // payload 01 00 0 -- the last code is cut short.
    const std::string bits =
        "10010"
        "1000"
        "011"
        "1010"
        "1"
        "01"
        "00"
        "0";
    testing::internal::CaptureStderr();
    const auto curve = decodeHff(packBitsWithEndMark(bits), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Huffman-Code ist kaputt!]");
    EXPECT_EQ(values(curve), Values({1, 0}));
}

TEST(HffCodec, MalformedTextsGiveNoCurve) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(decodeHff(L"", 0).has_value());
    EXPECT_FALSE(decodeHff(L"A", 0).has_value());
    EXPECT_FALSE(decodeHff(std::wstring(100, L'A'), 0).has_value());  // the count's prefix never ends
    // One entry of length 0 and payload bits left: decoding stops instead of looping.
    EXPECT_FALSE(decodeHff(packBitsWithEndMark("10001"
                                               "1000"
                                               "1"
                                               "0101"),
                           0)
                     .has_value());
    // A code of 32 bits.
    EXPECT_FALSE(decodeHff(packBitsWithEndMark("10001"
                                               "1000"
                                               "00000100001"
                                               "0"),
                           0)
                     .has_value());
    // Texts of the plain form for a constant curve carry no values.
    EXPECT_FALSE(decodeHff(packBitsWithEndMark("10001"
                                               "1010"
                                               "1"),
                           0)
                     .has_value());
    testing::internal::GetCapturedStderr();
}

TEST(HffCodec, StrangersReadAsSixOnes) {
    // Twelve more bits: the last three say 7, so ten are dropped; the fill
    // bits 000 and the first two ones stay payload.
    EXPECT_EQ(values(decodeHff(L"lCqo..", 0)), Values({0, 1, 0, 1, 0, 0, 0, 1, 1}));
}

TEST(HffCodec, ConstantDifferencesSurvive) {
    for (const std::int16_t v : {std::int16_t{0}, std::int16_t{7}, std::int16_t{-5}}) {
        const PitchCurve curve{Values(1000, v)};
        const auto text = encodeHff(curve, 0);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(values(decodeHff(*text, 0)), curve.values);
    }
    const PitchCurve ramp{{3, 6, 9, 12, 15}};
    EXPECT_EQ(values(decodeHff(*encodeHff(ramp, 1), 1)), ramp.values);
}

// The selection sort written out as it stands: for each position the first
// best of the rest is swapped into it.
std::vector<std::size_t> selectionSortLiterally(std::vector<int> keys, bool highestFirst) {
    std::vector<std::size_t> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::size_t best = i;
        for (std::size_t j = i + 1; j < keys.size(); ++j) {
            if (highestFirst ? keys[j] > keys[best] : keys[j] < keys[best]) best = j;
        }
        std::swap(keys[i], keys[best]);
        std::swap(order[i], order[best]);
    }
    return order;
}

// The tree built by scanning the array for the two lowest parentless nodes,
// from the last node towards the first.
std::vector<int> codeLengthsLiterally(const std::vector<int>& frequencies) {
    std::vector<long long> frequency(frequencies.begin(), frequencies.end());
    std::vector<int> parent(frequencies.size(), -1);
    if (frequencies.size() < 2) return std::vector<int>(frequencies.size(), 0);
    while (true) {
        int first = -1;
        for (int i = static_cast<int>(frequency.size()) - 1; i >= 0; --i) {
            if (parent[static_cast<std::size_t>(i)] == -1 &&
                (first < 0 || frequency[static_cast<std::size_t>(i)] < frequency[static_cast<std::size_t>(first)])) {
                first = i;
            }
        }
        int second = -1;
        for (int i = static_cast<int>(frequency.size()) - 1; i >= 0; --i) {
            if (i != first && parent[static_cast<std::size_t>(i)] == -1 &&
                (second < 0 || frequency[static_cast<std::size_t>(i)] < frequency[static_cast<std::size_t>(second)])) {
                second = i;
            }
        }
        if (second < 0) break;
        const int node = static_cast<int>(frequency.size());
        frequency.push_back(frequency[static_cast<std::size_t>(first)] + frequency[static_cast<std::size_t>(second)]);
        parent.push_back(-1);
        parent[static_cast<std::size_t>(first)] = node;
        parent[static_cast<std::size_t>(second)] = node;
    }
    std::vector<int> lengths;
    for (std::size_t leaf = 0; leaf < frequencies.size(); ++leaf) {
        int steps = 0;
        for (int at = parent[leaf]; at >= 0; at = parent[static_cast<std::size_t>(at)]) ++steps;
        lengths.push_back(steps);
    }
    return lengths;
}

TEST(HffTree, SortsAndTreeMatchTheLiteralVersions) {
    std::mt19937 random(5);
    for (int trial = 0; trial < 300; ++trial) {
        std::uniform_int_distribution<int> size(0, 120);
        std::uniform_int_distribution<int> key(0, trial % 3 == 0 ? 3 : 40);  // many ties
        std::vector<int> keys(static_cast<std::size_t>(size(random)));
        for (int& k : keys) k = key(random);
        ASSERT_EQ(selectionSortOrder(keys, true), selectionSortLiterally(keys, true));
        ASSERT_EQ(selectionSortOrder(keys, false), selectionSortLiterally(keys, false));
        ASSERT_EQ(huffmanCodeLengths(keys), codeLengthsLiterally(keys));
    }
}

}  // namespace
}  // namespace kestrand
