#include "dsp/sinc_fast.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "audio/wave_info.h"
#include "dsp/sinc_literal.h"
#include "support/audio_images.h"

namespace kestrand {
namespace {

TEST(SinCosPi, MatchesTheLibrary) {
    for (double x = -9.0; x <= 9.0; x += 0.0137) {
        double s, c;
        sinCosPi(x, s, c);
        // The library's own argument pi * x is rounded, hence the growing bound.
        const long double angle = std::numbers::pi_v<long double> * x;
        EXPECT_NEAR(s, static_cast<double>(std::sin(angle)), 1e-15) << x;
        EXPECT_NEAR(c, static_cast<double>(std::cos(angle)), 1e-15) << x;
    }
    double s, c;
    sinCosPi(1.0, s, c);
    EXPECT_EQ(s, 0.0);
    EXPECT_EQ(c, -1.0);
}

// A noisy signal in the stored form of a depth, plus a zero tail.
test::StoredSamples makeStored(int bits, std::uint16_t tag, int channels, int frames) {
    return test::noisyStoredSamples(bits, tag, channels, frames, 64);
}

TEST(FastSinc, AgreesWithTheTapByTapReaders) {
    struct Case {
        int bits;
        std::uint16_t tag;
    };
    for (const Case type : {Case{8, 1}, Case{16, 1}, Case{24, 1}, Case{32, 1}, Case{32, 3}, Case{64, 3}}) {
        for (const int channels : {1, 2}) {
            const test::StoredSamples stored = makeStored(type.bits, type.tag, channels, 300);
            const SampleView view = makeSampleView(stored.bytes, sampleTypeOf(stored.info), stored.info.channels);
            for (const double width : {1.0, 1.01, 2.1768707483, 2.5, 8.0}) {
                const SincWidth w = makeSincWidth(width);
                for (double a = -30.0; a < 400.0; a += 0.3791) {
                    const double expected = readLiteral(view, a, width);
                    ASSERT_NEAR(readFast(view, a, w), expected, 1e-9 * 32768)
                        << type.bits << " bits, " << channels << " ch, width " << width << " at " << a;
                }
                // Integer positions and far outside.
                for (const double a : {0.0, 5.0, 299.0, -1e9, 1e12}) {
                    ASSERT_NEAR(readFast(view, a, w), readLiteral(view, a, width), 1e-9 * 32768) << a;
                }
            }
        }
    }
}

TEST(FastSinc, RunsMatchSingleReads) {
    const test::StoredSamples stored = makeStored(16, 1, 1, 500);
    const SampleView view = makeSampleView(stored.bytes, sampleTypeOf(stored.info), stored.info.channels);
    std::vector<double> run(200);
    for (const double step : {1.0, 2.0, 0.4594, 1.5}) {
        const SincWidth w = makeSincWidth(std::max(1.0, step));
        readFastRun(view, -37.25, step, w, run);
        for (std::size_t i = 0; i < run.size(); ++i) {
            const double a = -37.25 + static_cast<double>(i) * step;
            ASSERT_NEAR(run[i], readLiteral(view, a, w.width), 1e-9 * 32768) << step << " " << i;
        }
    }
}

TEST(SampleView, DecodesEveryDepthToSixteenBitScale) {
    WaveInfo info;
    info.channels = 1;
    const std::vector<std::uint8_t> u8{128, 127, 0};
    info.bitsPerSample = 8;
    SampleView view = makeSampleView(u8, sampleTypeOf(info), info.channels);
    EXPECT_EQ(decodeFrame(view, 0), 128.0);
    EXPECT_EQ(decodeFrame(view, 1), -128.0);
    EXPECT_EQ(decodeFrame(view, -1), -32640.0);  // outside: a stored zero
    EXPECT_EQ(wholeFrame(view, -1), 0.0);        // before the start: 0
    const std::vector<std::uint8_t> s24{0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F};
    info.bitsPerSample = 24;
    view = makeSampleView(s24, sampleTypeOf(info), info.channels);
    EXPECT_EQ(decodeFrame(view, 0), -32768.0);
    EXPECT_EQ(decodeFrame(view, 1), 8388607 / 256.0);
    info.bitsPerSample = 32;
    info.formatTag = 3;
    std::vector<std::uint8_t> f32(4);
    const float one = 1.0f;
    std::memcpy(f32.data(), &one, 4);
    EXPECT_EQ(decodeFrame(makeSampleView(f32, sampleTypeOf(info), info.channels), 0), 32768.0);
    info.formatTag = 1;
    const std::vector<std::uint8_t> s32{0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(decodeFrame(makeSampleView(s32, sampleTypeOf(info), info.channels), 0), 1.0);
    info.formatTag = kWaveFormatExtensible;
    info.subFormat = 1;
    EXPECT_EQ(sampleTypeOf(info), SampleType::S32);
    info.subFormat = 3;
    EXPECT_EQ(sampleTypeOf(info), SampleType::F32);
    info.bitsPerSample = 64;
    std::vector<std::uint8_t> f64(8);
    const double half = 0.5;
    std::memcpy(f64.data(), &half, 8);
    EXPECT_EQ(decodeFrame(makeSampleView(f64, sampleTypeOf(info), info.channels), 0), 16384.0);
    info.bitsPerSample = 12;
    EXPECT_EQ(sampleTypeOf(info), SampleType::None);
    EXPECT_EQ(makeSampleView(f64, sampleTypeOf(info), info.channels).frames, 0);
}

}  // namespace
}  // namespace kestrand
