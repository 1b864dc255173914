// The block conversions against the formula-by-formula reference, on random
// bytes and on random values spread over and beyond the full range.
#include <gtest/gtest.h>

#include <random>

#include "audio/wave_sample_conversion.h"
#include "support/sample_oracle.h"

namespace kestrand {
namespace {

struct Depth {
    int bits;
    int tag;
};
constexpr Depth kDepths[] = {{8, 1}, {16, 1}, {24, 1}, {32, 1}, {32, 3}, {64, 3}};

TEST(WaveSampleConversion, DecodingMatchesTheReference) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> raw(8 * 500);
    for (auto& b : raw) b = static_cast<std::uint8_t>(random());
    for (const Depth d : kDepths) {
        SCOPED_TRACE(d.bits * 10 + d.tag);
        const std::size_t size = decodedSampleBytes(d.bits);
        // One sample more than the bytes hold: the last one stays as it was.
        std::vector<double> out(raw.size() / size + 1, -7.0);
        decodeSamples(raw, d.bits, static_cast<std::uint16_t>(d.tag), out);
        for (std::size_t i = 0; i + 1 < out.size(); ++i) {
            const double expected = test::oracleDecode(raw.data() + i * size, d.bits, d.tag);
            if (std::isnan(expected)) {
                EXPECT_TRUE(std::isnan(out[i]));
            } else {
                ASSERT_EQ(out[i], expected) << i;
            }
        }
        EXPECT_EQ(out.back(), -7.0);
    }
}

TEST(WaveSampleConversion, EncodingMatchesTheReference) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> wide(-50000.0, 50000.0);
    std::vector<double> values{0.0, -0.0, 0.5, -0.5, 32767.0, 32767.5, -32768.0, -32768.5, 1e30, -1e30, std::nan("")};
    for (int i = 0; i < 2000; ++i) values.push_back(wide(random));
    for (const Depth d : kDepths) {
        SCOPED_TRACE(d.bits * 10 + d.tag);
        std::vector<std::uint8_t> out;
        encodeSamples(values, d.bits, d.tag, out);
        const std::size_t size = encodedSampleBytes(d.bits);
        ASSERT_EQ(out.size(), values.size() * size);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (std::isnan(values[i]) && (d.tag == 3 || d.bits == 64)) continue;  // NaN stays NaN; bits may differ
            const auto expected = test::oracleEncode(values[i], d.bits, d.tag);
            ASSERT_EQ(std::vector<std::uint8_t>(out.begin() + static_cast<std::ptrdiff_t>(i * size),
                                                out.begin() + static_cast<std::ptrdiff_t>((i + 1) * size)),
                      expected)
                << values[i];
        }
    }
}

TEST(WaveSampleConversion, UnknownDepthsConvertNothing) {
    for (int bits : {0, 1, 4, 12, 20, 40, 48, 63, -16}) {
        EXPECT_EQ(decodedSampleBytes(bits), 0u);
        std::vector<std::uint8_t> out{9};
        encodeSamples(std::vector<double>{1.0, 2.0}, bits, 1, out);
        EXPECT_EQ(out, std::vector<std::uint8_t>{9});
        std::vector<double> decoded{5.0};
        decodeSamples(std::vector<std::uint8_t>{1, 2, 3, 4}, bits, 1, decoded);
        EXPECT_EQ(decoded[0], 5.0);
    }
}

}  // namespace
}  // namespace kestrand
