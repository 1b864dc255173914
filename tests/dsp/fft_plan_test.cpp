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

// The windowed forward transform with its power, and the inverse that
// windows its output, against the literal transform and the steps written out.
TEST(FftPlan, WindowAndPowerAgreeWithTheStepsWrittenOut) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-30000.0, 30000.0);
    for (const int n : {8, 32, 256, 1024}) {
        const FftPlan literal = makeFftPlan(n, FftKind::Literal);
        const FftPlan plan = makeFftPlan(n, FftKind::Fast);
        FftScratch none, scratch;
        none.prepare(literal);
        scratch.prepare(plan);
        const std::size_t size = static_cast<std::size_t>(n);
        std::vector<double> x(size), window(size);
        for (double& v : x) v = value(random);
        for (std::size_t i = 0; i < size; ++i) window[i] = std::sin(3.14159 * static_cast<double>(i) / n);
        std::vector<double> reference(size);
        for (std::size_t i = 0; i < size; ++i) reference[i] = window[i] * x[i];
        forwardFft(reference, literal, none);
        std::vector<double> fast(size), power(size / 2 + 1);
        forwardFft(x.data(), window.data(), fast, plan, scratch, power.data());
        double scale = 0;
        for (const double v : reference) scale = std::max(scale, std::fabs(v));
        for (int k = 0; k < n; ++k) ASSERT_NEAR(fast[k], reference[k], 1e-12 * scale) << n << " place " << k;
        for (int k = 0; k <= n / 2; ++k) {
            const double im = k == 0 || k == n / 2 ? 0.0 : reference[static_cast<std::size_t>(n - k)];
            const double expected =
                reference[static_cast<std::size_t>(k)] * reference[static_cast<std::size_t>(k)] + im * im;
            ASSERT_NEAR(power[static_cast<std::size_t>(k)], expected, 1e-11 * scale * scale) << n << " bin " << k;
        }
        inverseFft(reference, literal, none);
        for (std::size_t i = 0; i < size; ++i) reference[i] *= window[i] * 0.75;
        inverseFft(fast, plan, scratch, window.data(), 0.75);
        for (int k = 0; k < n; ++k) ASSERT_NEAR(fast[k], reference[k], 1e-12 * scale * n) << n << " sample " << k;
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
