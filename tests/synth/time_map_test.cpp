#include "synth/time_map.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrand {
namespace {

VoiceEntry regionOf(int offset, int length, int fix1, int fix2) {
    VoiceEntry region;
    region.offset = offset;
    region.length = length;
    region.fix1 = fix1;
    region.fix2 = fix2;
    return region;
}

TEST(TimeMap, HeadAndStretchedMiddleOfTheWorkedExample) {
    // 44.1 kHz in and out, offset 100 ms, consonant 50 ms, region 400 ms, no
    // tail, velocity 100, a 1000 ms note.
    const TimeMap map = makeTimeMap(regionOf(100, 400, 50, 0), 44100, 44100, 44100, 100, 100, false);
    EXPECT_DOUBLE_EQ(map.start, 4410);
    EXPECT_DOUBLE_EQ(map.length, 17640);
    EXPECT_DOUBLE_EQ(map.headEnd, 4410 + 2205);
    EXPECT_DOUBLE_EQ(map.middleEnd, 4410 + 17640);
    EXPECT_DOUBLE_EQ(map.headRate, 1.0);
    EXPECT_DOUBLE_EQ(map.tailRate, 1.0);
    EXPECT_NEAR(map.middleRate, 7.0 / 19.0, 1e-15);
    EXPECT_DOUBLE_EQ(map.startPosition, 4410);
}

TEST(TimeMap, NoTailShortNoteShortensTheRegion) {
    // velocity 0: l = 0.5, the head is read at half speed.
    const double ratio = 44100.0 / 22050.0;
    TimeMap map = makeTimeMap(regionOf(0, 400, 50, 0), 44100, 22050, 4000, 0, 100, false);
    EXPECT_DOUBLE_EQ(map.headRate, ratio * 0.5);
    EXPECT_DOUBLE_EQ(map.middleRate, ratio);
    // B ratio = 8000 > u / l = 4410: w = B ratio + u (1 - 1/l).
    EXPECT_DOUBLE_EQ(map.length, 8000 + 2205 * (1 - 2.0));
    // A note shorter than the head at its speed reads only part of it.
    map = makeTimeMap(regionOf(0, 400, 50, 0), 44100, 22050, 1000, 0, 100, false);
    EXPECT_DOUBLE_EQ(map.length, 0.5 * 1000 * ratio);
}

TEST(TimeMap, TailWithoutHead) {
    // Long note: the middle fills what the tail at rate m leaves.
    TimeMap map = makeTimeMap(regionOf(10, 300, 0, 100), 44100, 44100, 44100, 100, 200, false);
    const double A = 4410, w = 13230, m = 2.0;
    EXPECT_DOUBLE_EQ(map.headRate, m);
    EXPECT_DOUBLE_EQ(map.tailRate, m);
    EXPECT_DOUBLE_EQ(map.middleRate, (w - A) / (44100 - (A / m)));
    EXPECT_DOUBLE_EQ(map.middleEnd, 441 + w - A);
    // Short note: the start moves, the tail stays at the region's end.
    map = makeTimeMap(regionOf(10, 300, 0, 100), 44100, 44100, 5000, 100, 200, false);
    const double shortened = 5000 + A * (1 - 1 / m);
    EXPECT_DOUBLE_EQ(map.length, shortened);
    EXPECT_DOUBLE_EQ(map.start, 441 + w - shortened);
    EXPECT_DOUBLE_EQ(map.start + map.length, 441 + w);
    EXPECT_DOUBLE_EQ(map.middleRate, 1.0);
    map = makeTimeMap(regionOf(10, 300, 0, 100), 44100, 44100, 1000, 100, 200, false);
    EXPECT_DOUBLE_EQ(map.length, m * 1000);
}

TEST(TimeMap, HeadAndTailAndTheSqueezedCase) {
    TimeMap map = makeTimeMap(regionOf(0, 500, 50, 100), 44100, 44100, 44100, 100, 100, false);
    const double u = 2205, A = 4410, w = 22050;
    EXPECT_DOUBLE_EQ(map.headRate, 1.0);
    EXPECT_DOUBLE_EQ(map.tailRate, 1.0);
    EXPECT_DOUBLE_EQ(map.middleRate, (w - u - A) / (44100 - (A + u)));
    // G = 7000 - 6615 = 385 > 256 still normal; 6800 gives G = 185: squeezed.
    map = makeTimeMap(regionOf(0, 500, 50, 100), 44100, 44100, 6800, 100, 100, false);
    EXPECT_DOUBLE_EQ(map.headRate, (A + u) / (6800 - 256));
    EXPECT_DOUBLE_EQ(map.tailRate, (A + u) / (6800 - 256));
    EXPECT_DOUBLE_EQ(map.middleRate, (w - u - A) / 256);
}

TEST(TimeMap, VeryShortSqueezedNotesStayFinite) {
    for (const double B : {0.0, 1.0, 2.0, 100.0, 256.0, 257.0}) {
        const TimeMap map = makeTimeMap(regionOf(0, 500, 50, 100), 44100, 44100, B, 100, 100, false);
        EXPECT_TRUE(std::isfinite(map.headRate)) << B;
        EXPECT_TRUE(std::isfinite(map.middleRate)) << B;
        EXPECT_GT(map.headRate, 0) << B;
    }
    const TimeMap half = makeTimeMap(regionOf(0, 500, 50, 100), 44100, 44100, 100, 100, 100, false);
    EXPECT_DOUBLE_EQ(half.headRate, 6615.0 / 50);
    EXPECT_DOUBLE_EQ(half.middleRate, 15435.0 / 50);
}

TEST(TimeMap, AbsurdVelocitiesGiveFiniteRates) {
    for (const double velocity : {-1e30, -5000.0, 1e9, 1e30}) {
        const TimeMap a = makeTimeMap(regionOf(0, 500, 50, 0), 44100, 44100, 44100, velocity, velocity, false);
        const TimeMap b = makeTimeMap(regionOf(0, 500, 50, 100), 44100, 44100, 44100, velocity, velocity, false);
        for (const TimeMap& map : {a, b}) {
            EXPECT_TRUE(std::isfinite(map.headRate) && std::isfinite(map.middleRate) && std::isfinite(map.tailRate) &&
                        std::isfinite(map.length))
                << velocity;
        }
    }
}

TEST(TimeMap, ReverseStartsAtTheEndWithNegativeRates) {
    const TimeMap map = makeTimeMap(regionOf(100, 400, 50, 0), 44100, 44100, 44100, 100, 100, true);
    EXPECT_DOUBLE_EQ(map.startPosition, 4410 + 17640);
    EXPECT_DOUBLE_EQ(map.headRate, -1.0);
    EXPECT_NEAR(map.middleRate, -7.0 / 19.0, 1e-15);
}

}  // namespace
}  // namespace kestrand
