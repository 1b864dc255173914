#include "dsp/window_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kestrand {
namespace {

TEST(WindowTables, SineWindowSquaresOverlapToTwo) {
    const auto window = makeSineWindow(1024);
    ASSERT_EQ(window.size(), 1024u);
    EXPECT_EQ(window[0], 0.0);
    EXPECT_DOUBLE_EQ(window[512], 1.0);
    EXPECT_NEAR(window[256], std::sin(std::numbers::pi / 4), 1e-15);
    // Four quarter-frame shifts of sin^2 add up to 2 everywhere.
    for (int i = 0; i < 256; ++i) {
        double sum = 0;
        for (int shift = 0; shift < 4; ++shift) sum += std::pow(window[static_cast<std::size_t>(i + 256 * shift)], 2);
        EXPECT_NEAR(sum, 2.0, 1e-12);
    }
}

}  // namespace
}  // namespace kestrand
