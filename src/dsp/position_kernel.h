// The windowed-sinc reads of the pitch analysis: channel 0 of a loaded sample
// decoded once into its stored values, and a kernel built once for a
// fractional position and moved along by whole frames, so that runs of reads
// one frame apart evaluate the kernel once. Every read gives exactly what the
// literal reader of the encoding (dsp/sinc_literal.h) returns for the same
// buffer, in the analysis convention of base/sample_format.h.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/sample_format.h"

namespace kestrand {

// toSixteenBit of a type in the analysis convention as scale x sum + offset:
// the same value for every sum, except that a zero may lose its sign. (It is
// also how the amplitude of a frame decodes a stored value, for every type
// but doubles.)
struct ReaderScale {
    double scale = 1;
    double offset = 0;
};
ReaderScale readerScale(SampleType type);

// The stored values of channel 0, one per frame, with `padding` zeros on both
// sides so that kernel taps a little outside the data need no bound check.
// A frame whose element does not lie wholly inside the data holds 0, as do
// all the padding entries: bytes beyond the data read as zero bytes.
struct StoredChannel {
    SampleType type = SampleType::S16;
    std::int64_t frames = 0;
    std::int64_t padding = 0;
    std::vector<double> values;  // frames + 2 x padding entries

    double at(std::int64_t frame) const { return values[static_cast<std::size_t>(frame + padding)]; }
    const double* pointer(std::int64_t frame) const { return values.data() + (frame + padding); }
};

// Decodes channel 0 of the first `frames` frames of `data` (element of frame
// n at byte n x channels x bytes per sample).
StoredChannel decodeChannelZero(std::span<const std::uint8_t> data, SampleType type, int channels, std::int64_t frames,
                                std::int64_t padding);

// The kernel of a reader at a position with a given fractional part: the
// weights of its taps in tap order, the offset of the first tap from the
// whole part, and the sum of all weights.
struct ReaderKernel {
    std::vector<double> weights;
    std::int64_t firstTap = 0;  // tap index = first tap + t for the position's integer grid
    double denominator = 0;
    bool usable = false;  // false when the reader would return 0 for every position
};

// The kernel for reading at positions origin + m (m whole) with `width`:
// taps ceil(origin - 2 width) .. floor(origin + 2 width), shifted with m.
// Fills `kernel` in place, reusing its storage.
void buildReaderKernel(double origin, double width, ReaderKernel& kernel);

// One read at origin + m through the kernel, exactly as the reader computes it.
inline double readThroughKernel(const StoredChannel& channel, const ReaderKernel& kernel, std::int64_t m) {
    if (!kernel.usable) return 0.0;
    const double* v = channel.pointer(kernel.firstTap + m);
    double numerator = 0.0;
    const std::size_t count = kernel.weights.size();
    for (std::size_t t = 0; t < count; ++t) numerator += kernel.weights[t] * v[t];
    return toSixteenBit(channel.type, numerator / kernel.denominator, kAnalysisScales);
}

// Reads at origin + m for m = 0 .. count - 1 into out[m], each value exactly
// as readThroughKernel gives it.
void readRunThroughKernel(const StoredChannel& channel, const ReaderKernel& kernel, int count, double* out);

// The reader's value at every whole position 0 .. frames - 1 with `width`.
// Positions are split between `threadCount` threads.
std::vector<double> smoothAtWholePositions(const StoredChannel& channel, double width, int threadCount);

}  // namespace kestrand
