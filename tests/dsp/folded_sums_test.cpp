#include "dsp/folded_sums.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kestrand {
namespace {

TEST(EnvelopeKernel, OneAtZeroZerosAtOneAndTwoNeverNegativeInside) {
    EXPECT_DOUBLE_EQ(envelopeKernel(0.0), 1.0);
    for (double x : {1.0, -1.0, 2.0, -2.0, 1.5, -1.5}) EXPECT_NEAR(envelopeKernel(x), 0.0, 1e-15) << x;
    double previous = envelopeKernel(0.0);
    for (int k = 1; k <= 1000; ++k) {
        const double x = k / 1000.0;
        const double value = envelopeKernel(x);
        EXPECT_GE(value, 0.0) << x;
        EXPECT_LE(value, previous) << x;  // falls monotonically from 1 to 0
        EXPECT_EQ(value, envelopeKernel(-x));
        previous = value;
    }
    EXPECT_LT(envelopeKernel(1.2), 0.0);  // beyond the simple zero at 1 it turns negative
}

// A spectrum whose bin k holds 10^k picks out which bins a sum used.
std::vector<double> markers(int half) {
    std::vector<double> power(static_cast<std::size_t>(half + 1));
    double v = 1;
    for (double& p : power) {
        p = v;
        v *= 10;
    }
    return power;
}

TEST(FoldedSums, FoldAtBinZeroOnly) {
    const int half = 8;
    const auto power = markers(half);
    FoldScratch scratch;
    std::vector<double> out(half + 1);
    const double r = 0.4;
    foldedSums(power, 2, r, out, scratch);
    // j = 0, L = 2: bins 2, 1, 0, 1, 2 for i = -2 .. 2.
    const double k1 = envelopeKernel(r), k2 = envelopeKernel(2 * r), k0 = envelopeKernel(0);
    EXPECT_DOUBLE_EQ(out[0], k2 * 100 + k1 * 10 + k0 * 1 + k1 * 10 + k2 * 100);
    // j = H: only H - 2, H - 1 and H contribute (no fold at H).
    EXPECT_DOUBLE_EQ(out[half], k2 * power[half - 2] + k1 * power[half - 1] + k0 * power[half]);
    // L = 0 (spacing below 1): every sum is its own bin's power.
    foldedSums(power, foldWidth(0.7, half), 1 / 0.7, out, scratch);
    for (int j = 0; j <= half; ++j)
        EXPECT_DOUBLE_EQ(out[static_cast<std::size_t>(j)], power[static_cast<std::size_t>(j)]);
}

TEST(FoldedSums, SameSumsAsTheLiteralLoop) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(0.0, 1e9);
    for (const int half : {128, 512, 1024}) {
        std::vector<double> power(static_cast<std::size_t>(half + 1));
        for (double& p : power) p = value(random);
        FoldScratch scratch;
        std::vector<double> out(power.size());
        for (const double spacing : {0.3, 1.0, 4.63, 17.2, 300.0, 5000.0}) {
            const int width = foldWidth(spacing, half);
            foldedSums(power, width, 1 / spacing, out, scratch);
            for (int j = 0; j <= half; ++j) {
                // Every term is positive: the sum bounds the rounding of each.
                const double literal = foldedSumLiteral(power, j, static_cast<int>(spacing), 1 / spacing);
                ASSERT_NEAR(out[static_cast<std::size_t>(j)], literal, 1e-13 * literal)
                    << "half " << half << " spacing " << spacing << " bin " << j;
            }
        }
    }
}

TEST(FoldedSums, WidthLimits) {
    EXPECT_EQ(foldWidth(4.99, 512), 4);
    EXPECT_EQ(foldWidth(1e300, 512), 1024);
    EXPECT_EQ(foldWidth(std::numeric_limits<double>::infinity(), 512), 1024);
    EXPECT_EQ(foldWidth(std::numeric_limits<double>::quiet_NaN(), 512), 0);
    EXPECT_EQ(foldWidth(-3, 512), 0);
}

}  // namespace
}  // namespace kestrand
