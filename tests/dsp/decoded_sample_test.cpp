// Reads over the decoded part of a sample against the tap-by-tap readers,
// inside the decoded frames, across their edges and far outside.
#include "dsp/decoded_sample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "audio/wave_info.h"
#include "dsp/sinc_literal.h"
#include "support/audio_images.h"

namespace kestrand {
namespace {

// A noisy signal in the stored form of a depth, plus a zero tail.
test::StoredSamples makeStored(int bits, std::uint16_t tag, int channels, int frames) {
    return test::noisyStoredSamples(bits, tag, channels, frames, 16);
}

struct Case {
    int bits;
    std::uint16_t tag;
    int channels;
};

TEST(DecodedSample, UnitReadsAgreeWithTheTapByTapReaders) {
    for (const Case c : {Case{8, 1, 1}, Case{16, 1, 1}, Case{16, 1, 2}, Case{24, 1, 1}, Case{32, 3, 2}}) {
        const test::StoredSamples stored = makeStored(c.bits, c.tag, c.channels, 400);
        const SampleView view = makeSampleView(stored.bytes, sampleTypeOf(stored.info), stored.info.channels);
        // Decoded frames 50 .. 349: reads near both ends mix the two paths;
        // the second view decodes past both ends of the sample.
        for (const auto& [from, to] : {std::pair<std::int64_t, std::int64_t>{50, 350}, {-20, 440}, {0, 0}}) {
            const DecodedSample decoded = decodeSample(view, from, to);
            std::vector<double> positions;
            for (double a = -12.0; a < 430.0; a += 0.2371) positions.push_back(a);
            for (const double a : {0.0, 1.0, 49.0, 50.0, 51.0, 348.0, 349.0, 399.0, -1e9, 1e12, std::nan("")}) {
                positions.push_back(a);
            }
            std::vector<double> out(positions.size());
            readUnitBatch(decoded, positions, out);
            for (std::size_t i = 0; i < positions.size(); ++i) {
                const double expected = std::isnan(positions[i]) ? out[i] : readLiteral(view, positions[i], 1.0);
                ASSERT_NEAR(out[i], expected, 1e-9 * 32768)
                    << c.bits << " bits, decoded " << from << ".." << to << " at " << positions[i];
            }
        }
    }
}

TEST(DecodedSample, RunsAgreeWithSingleReads) {
    const test::StoredSamples stored = makeStored(16, 1, 1, 600);
    const SampleView view = makeSampleView(stored.bytes, sampleTypeOf(stored.info), stored.info.channels);
    const DecodedSample decoded = decodeSample(view, 40, 560);
    std::vector<double> run(300);
    for (const double start : {-37.25, 0.0, 100.6, 300.999}) {
        for (const double step : {1.0, 2.0, 0.4594, 1.5, -1.0, 0.707}) {
            const SincWidth width = makeSincWidth(std::max(1.0, step));
            readRun(decoded, start, step, width, run);
            for (std::size_t i = 0; i < run.size(); ++i) {
                const double a = start + static_cast<double>(i) * step;
                ASSERT_NEAR(run[i], readLiteral(view, a, width.width), 1e-9 * 32768)
                    << start << " step " << step << " " << i;
            }
        }
    }
}

TEST(DecodedSample, WholeFramesAreZeroBeforeTheStartAndStoredZeroBehind) {
    const test::StoredSamples stored = makeStored(8, 1, 1, 100);
    const SampleView view = makeSampleView(stored.bytes, sampleTypeOf(stored.info), stored.info.channels);
    const DecodedSample decoded = decodeSample(view, 10, 90);
    for (const std::int64_t first :
         {std::int64_t{-30}, std::int64_t{0}, std::int64_t{20}, std::int64_t{70}, std::int64_t{200}}) {
        std::vector<double> out(64);
        readWholeFrames(decoded, first, out);
        for (std::size_t i = 0; i < out.size(); ++i) {
            ASSERT_EQ(out[i], wholeFrame(view, first + static_cast<std::int64_t>(i))) << first << " " << i;
        }
    }
    EXPECT_EQ(decoded.values[0], decodeFrame(view, 10));
    EXPECT_EQ(decodeSample(view, -3, 2).values[0], -32640.0);  // outside: a stored zero
}

}  // namespace
}  // namespace kestrand
