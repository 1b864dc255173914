// The direct waveform at the edges of the recording: a read position before
// the first frame writes nothing, one at the first frame is read, in the fast
// evaluation and in the literal one alike.
#include "synth/direct_waveform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/sample_format.h"
#include "dsp/sample_view.h"

namespace kestrand {
namespace {

// A note read at the natural speed from `start` (input frames, may be
// negative) in a constant 16-bit recording whose list holds its own average
// pitch throughout (a power of two, so every step is exact), so the phase
// within the period stays 0 and the read
// position of output sample j is exactly start + j.
std::vector<double> directFrom(double start, bool literal) {
    constexpr int kFrames = 2000;
    constexpr int kHop = 16;
    constexpr std::int32_t kCount = 64;
    std::vector<std::uint8_t> bytes;
    for (int k = 0; k < kFrames; ++k) {
        bytes.push_back(0x10);  // 10000 = 0x2710
        bytes.push_back(0x27);
    }
    bytes.resize(bytes.size() + 4096, 0);
    const SampleView view = makeSampleView(bytes, SampleType::S16, 1);
    const DecodedSample decoded = decodeSample(view, -16, kFrames + 16);

    FrequencyList list;
    list.frameStep = 256;
    list.sampleRate = 44100;
    list.listSize = kFrames / 256 + 1;
    list.freqAvg = 512.0;
    list.frequencies.assign(static_cast<std::size_t>(list.listSize) + 1, 512.0);
    list.amplitudes.assign(static_cast<std::size_t>(list.listSize) + 1, 1000.0);
    const NoteCurves curves;

    DirectWaveformSetup setup;
    setup.sample = &decoded;
    setup.list = &list;
    setup.curves = &curves;
    setup.map.start = start;
    setup.map.length = kFrames;
    setup.map.headRate = setup.map.middleRate = setup.map.tailRate = 1.0;
    setup.map.headEnd = start;
    setup.map.middleEnd = kFrames;
    setup.map.startPosition = start;
    setup.inputRate = 44100;
    setup.nyquist = 22050;
    setup.ratio = 1.0;
    setup.target = 512.0;
    setup.inputFrames = kFrames;
    setup.outCount = kCount;
    setup.hop = kHop;
    setup.literal = literal;

    std::vector<double> direct(kCount + 1024, 0.0);
    DirectWaveformState state = startDirectWaveform(setup);
    for (std::int64_t j0 = 0; j0 < kCount; j0 += kHop) fillDirectWaveform(setup, state, j0, j0 + kHop, direct);
    direct.resize(kCount);
    return direct;
}

TEST(DirectWaveform, ReadsStartExactlyAtTheFirstFrame) {
    for (const bool literal : {false, true}) {
        // Positions -10 .. -1 lie before the recording: nothing is written.
        // Position 0 is its first frame and is read.
        const std::vector<double> direct = directFrom(-10.0, literal);
        for (std::size_t j = 0; j < 10; ++j) EXPECT_EQ(direct[j], 0.0) << "sample " << j << " literal " << literal;
        for (std::size_t j = 10; j < direct.size(); ++j) {
            EXPECT_NEAR(direct[j], 10000.0, 1e-6) << "sample " << j << " literal " << literal;
        }
    }
    // Half a frame before the first one is still outside; the first read
    // inside is half a frame after it (half the value: half the kernel's
    // weight lies before the recording).
    for (const bool literal : {false, true}) {
        const std::vector<double> direct = directFrom(-37.5, literal);
        for (std::size_t j = 0; j < 38; ++j) EXPECT_EQ(direct[j], 0.0) << "sample " << j << " literal " << literal;
        EXPECT_GT(direct[38], 1000.0) << "literal " << literal;
    }
}

}  // namespace
}  // namespace kestrand
