// The fast frame estimate against the slow evaluation of its formulas: the
// literal stages (candidates, score, refinement, the second pass's narrow
// ranges) and the estimate with its period decision as a whole.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio/wave_reader.h"
#include "f0/difference_function.h"
#include "f0/frame_pitch.h"
#include "f0/pitch_oracle.h"
#include "support/audio_images.h"
#include "support/test_files.h"

namespace kestrand {
namespace {

// Same voicing decision, and the same frequency within 1e-9 relative.
void expectSamePitch(double fast, double literal, const std::string& where) {
    EXPECT_EQ(fast > 0.0, literal > 0.0) << where;
    EXPECT_NEAR(fast, literal, 1e-9 * std::fabs(literal)) << where;
}

void compareEveryFrame(const LoadedSample& sample, int N, int Step, int stride, const std::string& name) {
    const auto setup = prepareFramePitch(sample, N, Step, 2);
    ASSERT_TRUE(setup);
    FramePitchScratch scratch(*setup);
    const double loudest = test::slowLoudestLevel(sample, N, Step);
    EXPECT_NEAR(setup->loudestLevel, loudest, 1e-9 * loudest);
    int voiced = 0;
    for (std::int64_t p = 0; p < setup->frames; p += static_cast<std::int64_t>(Step) * stride) {
        const std::string where = name + " at " + std::to_string(p);
        // The literal stages: candidates and the score's choice, and its refinement.
        const test::LiteralChoice literal = test::literalChoice(sample, p, setup->minLag, setup->maxLag, N, Step);
        const int count = findCandidates(*setup, scratch, p, setup->minLag, setup->maxLag);
        ASSERT_EQ(count, literal.candidateCount) << where;
        if (count > 0) {
            const int lag = scoreCandidates(*setup, scratch);
            ASSERT_EQ(lag, literal.lag) << where;
            if (p % (4 * Step) == 0) {
                EXPECT_NEAR(refineLag(*setup, scratch, p, lag), test::literalRefinement(sample, p, lag, N, Step),
                            1e-9 * lag)
                    << where;
            }
        }
        // The whole estimate with its period decision and voicing.
        const double fast = estimateFramePitch(*setup, scratch, p, setup->minLag, setup->maxLag, 1);
        const double slow = test::slowFramePitch(sample, p, setup->minLag, setup->maxLag, 1, N, Step, loudest);
        expectSamePitch(fast, slow, where);
        voiced += slow > 0.0;
    }
    EXPECT_GT(voiced, 0) << name;
}

TEST(FramePitchOracle, VoiceSamplesFrameByFrame) {
    for (const char* name : {"a.wav", "ka.wav"}) compareEveryFrame(test::loadVoiceWave(name), 1024, 256, 2, name);
    for (const char* name : {"i.wav", "la.wav", "ma.wav", "su.wav"})
        compareEveryFrame(test::loadVoiceWave(name), 1024, 256, 5, name);
}

TEST(FramePitchOracle, NarrowRangesOfTheSecondPass) {
    const LoadedSample sample = test::loadVoiceWave("a.wav");
    const auto setup = prepareFramePitch(sample, 1024, 256, 1);
    ASSERT_TRUE(setup);
    FramePitchScratch scratch(*setup);
    for (std::int64_t p = 0; p < setup->frames; p += 768) {
        for (const auto& [lo, hi] : {std::pair{90, 110}, std::pair{150, 190}, std::pair{40, 60}, std::pair{700, 800}}) {
            const double fast = estimateFramePitch(*setup, scratch, p, lo, hi, 2);
            const int highest = std::min(hi, 768);
            const double literal = test::literalFramePitch(sample, p, lo, highest, 2, 1024, 256);
            expectSamePitch(fast, literal, "range " + std::to_string(lo) + " at " + std::to_string(p));
        }
    }
}

TEST(FramePitchOracle, SyntheticSignalsOfEveryDepth) {
    struct Case {
        double frequency;
        int bits;
        std::uint16_t tag;
        std::uint32_t rate;
    };
    const Case cases[] = {{150, 16, 1, 44100}, {210, 16, 1, 44100}, {441, 16, 1, 44100}, {250, 8, 1, 44100},
                          {250, 24, 1, 48000}, {250, 32, 1, 44100}, {250, 32, 3, 44100}, {250, 64, 3, 44100},
                          {175, 16, 1, 22050}, {300, 16, 1, 96000}, {120, 16, 1, 11025}};
    for (const Case& c : cases) {
        const LoadedSample sample = test::toneSample(c.frequency, c.rate, c.bits, 6000, 8000.0, c.tag);
        const int N = c.rate < 15000 ? 512 : c.rate < 30000 ? 720 : c.rate < 60000 ? 1024 : 2048;
        const int Step = N == 720 ? 128 : N / 4;
        const auto setup = prepareFramePitch(sample, N, Step, 2);
        ASSERT_TRUE(setup);
        FramePitchScratch scratch(*setup);
        const double loudest = test::slowLoudestLevel(sample, N, Step);
        const std::string name = std::to_string(c.frequency) + " Hz " + std::to_string(c.bits) + " bits";
        for (std::int64_t p = 0; p < setup->frames; p += 3 * Step) {
            const double fast = estimateFramePitch(*setup, scratch, p, setup->minLag, setup->maxLag, 1);
            const double slow = test::slowFramePitch(sample, p, setup->minLag, setup->maxLag, 1, N, Step, loudest);
            expectSamePitch(fast, slow, name + " at " + std::to_string(p));
            // Frames that lie wholly inside the tone find it.
            if (p >= N && p + 2 * N < setup->frames) {
                EXPECT_NEAR(fast, c.frequency, 0.01 * c.frequency) << name << " at " << p;
            }
        }
    }
}

// The literal sum for one lag, term by term.
double literalDifference(const FramePitchSetup& setup, const std::vector<double>& x, int j) {
    const int s = setup.eighth + setup.quarter - (j >> 1);
    double sum = 0.0;
    for (int i = 0; i < setup.quarter + setup.half; ++i)
        sum += (x[s + i] - x[s + i + j]) * (x[s + i] - x[s + i + j]) * setup.windows.spanWindow[2 * i];
    return sum;
}

TEST(FramePitchOracle, DifferenceFunctionEqualsTheLiteralSumForEveryRangeShape) {
    const LoadedSample sample = test::toneSample(200, 44100, 16, 3000, 1000.0);
    const auto setup = prepareFramePitch(sample, 1024, 256, 1);
    ASSERT_TRUE(setup);
    std::vector<double> x(static_cast<std::size_t>(setup->span) + 8);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.37 * i) * 1000.0 + std::cos(0.011 * i * i);
    // Odd and even starts and ends, single lags and ranges shorter than one block of eight.
    for (const auto& [lo, hi] :
         {std::pair{49, 768}, std::pair{50, 767}, std::pair{0, 3}, std::pair{7, 7}, std::pair{100, 108},
          std::pair{761, 768}, std::pair{48, 64}, std::pair{49, 65}, std::pair{50, 81}, std::pair{51, 66}}) {
        std::vector<double> reversed(static_cast<std::size_t>(setup->span));
        for (int i = 0; i < setup->span; ++i) reversed[i] = x[setup->span - 1 - i];
        DifferenceInput input;
        input.signal = x.data();
        input.reversed = reversed.data();
        input.span = setup->span;
        input.weights = setup->evenSpanWindow.data();
        input.terms = setup->lagLimit();
        input.origin = setup->eighth + setup->quarter;
        std::vector<double> d(770, -1.0);
        computeDifferenceFunction(input, lo, hi, d.data());
        for (int j = lo; j <= hi; ++j) EXPECT_EQ(d[j], literalDifference(*setup, x, j)) << "lag " << j;
        if (lo > 0) {
            EXPECT_EQ(d[lo - 1], -1.0);
        }
        EXPECT_EQ(d[hi + 1], -1.0);
    }
}

TEST(FramePitch, RangesWithoutRoomForACandidateGiveNoPitch) {
    const LoadedSample sample = test::toneSample(200, 44100, 16, 5000, 8000.0);
    const auto setup = prepareFramePitch(sample, 1024, 256, 1);
    ASSERT_TRUE(setup);
    FramePitchScratch scratch(*setup);
    EXPECT_EQ(estimateFramePitch(*setup, scratch, 2048, 200, 201, 2), 0.0);
    EXPECT_EQ(estimateFramePitch(*setup, scratch, 2048, 300, 100, 2), 0.0);
}

TEST(FramePitch, SetupRefusesFormatsWithoutAReader) {
    LoadedSample sample = test::toneSample(200, 44100, 16, 100, 1000.0);
    sample.info.bitsPerSample = 12;
    EXPECT_FALSE(prepareFramePitch(sample, 1024, 256, 1));
    sample.info.bitsPerSample = 16;
    sample.info.blockAlign = 0;
    EXPECT_FALSE(prepareFramePitch(sample, 1024, 256, 1));
    sample.info.blockAlign = 2;
    sample.info.channels = 0;
    EXPECT_FALSE(prepareFramePitch(sample, 1024, 256, 1));
    sample.info.channels = 1;
    sample.info.samplesPerSec = 919;
    EXPECT_FALSE(prepareFramePitch(sample, 1024, 256, 1));
    sample.info.samplesPerSec = 44100;
    EXPECT_FALSE(prepareFramePitch(sample, 1020, 256, 1));
    EXPECT_TRUE(prepareFramePitch(sample, 1024, 256, 1));
}

}  // namespace
}  // namespace kestrand
