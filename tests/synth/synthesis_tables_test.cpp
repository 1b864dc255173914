#include "synth/synthesis_tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "synth/noise_generator.h"

namespace kestrand {
namespace {

TEST(SynthesisTables, TiltTableBothBranches) {
    const auto flat = makeTiltTable(8, 0.0);  // (2)(1) everywhere
    for (const double v : flat) EXPECT_DOUBLE_EQ(v, 2.0);
    const auto low = makeTiltTable(8, 0.5);
    EXPECT_DOUBLE_EQ(low[3], 1.5 * (0.5 + 0.04 * 0.5 * 3));
    const auto high = makeTiltTable(8, 2.0);
    EXPECT_EQ(high[0], 0.0);
    EXPECT_DOUBLE_EQ(high[5], std::pow(0.04 * 5 / 1.1, 0.96));
}

TEST(SynthesisTables, MixGains) {
    MixGains g = makeMixGains(1024, 0.0, false);
    EXPECT_DOUBLE_EQ(g.voice, 1.0 / 1024);
    EXPECT_EQ(g.noise, 0.0);
    g = makeMixGains(1024, 0.75, false);
    EXPECT_DOUBLE_EQ(g.voice, 0.5 / 1024);
    EXPECT_DOUBLE_EQ(g.noise, 0.125 / 1024);  // stays at 0.125 / N from 0.5 on
    g = makeMixGains(1024, 1.0, false);
    EXPECT_EQ(g.voice, 0.0);
    g = makeMixGains(1024, 0.25, true);
    EXPECT_DOUBLE_EQ(g.voice, 0.5);
    EXPECT_DOUBLE_EQ(g.noise, 0.0625 / 1024);
}

TEST(SynthesisTables, WorkerThreadCountRule) {
    EXPECT_EQ(workerThreadCount(4, 1), 4);
    EXPECT_EQ(workerThreadCount(4, 128), 4);
    EXPECT_EQ(workerThreadCount(64, 2), 64);
    for (const int request : {0, 100, -3, 65}) {
        EXPECT_EQ(workerThreadCount(request, 1), 2);
        EXPECT_EQ(workerThreadCount(request, 2), 4);
        EXPECT_EQ(workerThreadCount(request, 8), 8);
        EXPECT_EQ(workerThreadCount(request, 128), 64);
    }
}

TEST(NoiseGenerator, NeverSeededSequence) {
    NoiseGenerator random;
    // seed 1 -> 1 * 214013 + 2531011 = 2745024, >> 16 = 41.
    EXPECT_EQ(random.next(), 41);
    // 2745024 * 214013 + 2531011 mod 2^32 = 1210316419 -> 18467.
    EXPECT_EQ(random.next(), 18467);
    EXPECT_EQ(random.next(), 6334);
    NoiseGenerator other;
    EXPECT_DOUBLE_EQ(other.nextSmall(), 41 / 32767.0 - 0.5);
    EXPECT_DOUBLE_EQ(other.nextLoud(), 32768.0 * 18467 / 32767.0 - 16384.0);
}

}  // namespace
}  // namespace kestrand
