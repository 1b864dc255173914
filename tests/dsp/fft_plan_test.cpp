#include "dsp/fft_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace kestrand {
namespace {

// The fast transform against the literal one, both through their plans.
TEST(FftPlan, FastGivesTheSameSpectrumAndInverseAsLiteral) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-30000.0, 30000.0);
    for (const int n : {4, 8, 256, 512, 1024, 2048}) {
        const FftPlan literal = makeFftPlan(n, FftKind::Literal);
        const FftPlan plan = makeFftPlan(n, FftKind::Fast);
        FftScratch none, scratch;
        none.prepare(literal);
        scratch.prepare(plan);
        std::vector<double> x(static_cast<std::size_t>(n));
        for (double& v : x) v = value(random);
        std::vector<double> reference = x, fast = x;
        forwardFft(reference, literal, none);
        forwardFft(fast, plan, scratch);
        double scale = 0;
        for (const double v : reference) scale = std::max(scale, std::fabs(v));
        for (int k = 0; k < n; ++k) ASSERT_NEAR(fast[k], reference[k], 1e-12 * scale) << n << " place " << k;
        inverseFft(reference, literal, none);
        inverseFft(fast, plan, scratch);
        for (int k = 0; k < n; ++k) {
            ASSERT_NEAR(fast[k], reference[k], 1e-12 * scale * n) << n << " sample " << k;
            ASSERT_NEAR(fast[k], x[k] * (n / 2), 1e-9 * 30000 * n) << n << " sample " << k;
        }
    }
}

TEST(FftPlan, FastImpulseGivesFlatSpectrum) {
    const FftPlan plan = makeFftPlan(16, FftKind::Fast);
    FftScratch scratch;
    scratch.prepare(plan);
    std::vector<double> x(16, 0.0);
    x[0] = 1;
    forwardFft(x, plan, scratch);
    for (int k = 0; k <= 8; ++k) EXPECT_NEAR(x[k], 1.0, 1e-15);
    for (int k = 9; k < 16; ++k) EXPECT_NEAR(x[k], 0.0, 1e-15);
}

}  // namespace
}  // namespace kestrand
