// Channel 0 of a loaded sample as the pitch analysis reads it: the stored
// values as doubles, and the same values read through the windowed-sinc
// kernel at every whole frame position. Both give exactly what the
// fractional readers return for the same buffer, only without evaluating the
// kernel again for every read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "audio/wave_info.h"

namespace kestrand {

// How a stored sample becomes a number (the reader that the analysis uses).
enum class AnalysisSampleKind { Unsigned8, Signed16, Signed24, Signed32, Float32, Float64 };

// The reader for a format: 8 unsigned, 16 and 24 signed, 32 signed when the
// (sub)format tag says integer PCM and single float otherwise, 64 double.
// Nothing for any other depth.
std::optional<AnalysisSampleKind> analysisSampleKind(const WaveInfo& info);

// Bytes of one stored sample of the kind.
int bytesPerSample(AnalysisSampleKind kind);

// Turns a normalised kernel sum of stored values into the reader's result
// scale (sixteen-bit scale; doubles stay as stored).
inline double scaleKernelSum(AnalysisSampleKind kind, double sum) {
    switch (kind) {
        case AnalysisSampleKind::Unsigned8: return 256.0 * sum - 32640.0;
        case AnalysisSampleKind::Signed16: return sum;
        case AnalysisSampleKind::Signed24: return sum / 256.0;
        case AnalysisSampleKind::Signed32: return sum / 65536.0;
        case AnalysisSampleKind::Float32: return sum * 32768.0;
        case AnalysisSampleKind::Float64: return sum;
    }
    return 0.0;
}

// scaleKernelSum of a kind as scale x sum + offset: the same value for every
// sum, except that a zero may lose its sign. (It is also how the amplitude
// of a frame decodes a stored value, for every kind but doubles.)
struct ReaderScale {
    double scale = 1;
    double offset = 0;
};
ReaderScale readerScale(AnalysisSampleKind kind);

// The stored values of channel 0, one per frame, with `padding` zeros on both
// sides so that kernel taps a little outside the data need no bound check.
// A frame whose element does not lie wholly inside the data holds 0, as do
// all the padding entries: bytes beyond the data read as zero bytes.
struct StoredChannel {
    AnalysisSampleKind kind = AnalysisSampleKind::Signed16;
    std::int64_t frames = 0;
    std::int64_t padding = 0;
    std::vector<double> values;  // frames + 2 x padding entries

    double at(std::int64_t frame) const { return values[static_cast<std::size_t>(frame + padding)]; }
    const double* pointer(std::int64_t frame) const { return values.data() + (frame + padding); }
};

// Decodes channel 0 of the first `frames` frames of `data` (element of frame
// n at byte n x channels x bytes per sample).
StoredChannel decodeChannelZero(std::span<const std::uint8_t> data, AnalysisSampleKind kind, int channels,
                                std::int64_t frames, std::int64_t padding);

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
    return scaleKernelSum(channel.kind, numerator / kernel.denominator);
}

// Reads at origin + m for m = 0 .. count - 1 into out[m], each value exactly
// as readThroughKernel gives it.
void readRunThroughKernel(const StoredChannel& channel, const ReaderKernel& kernel, int count, double* out);

// The reader's value at every whole position 0 .. frames - 1 with `width`.
// Positions are split between `threadCount` threads.
std::vector<double> smoothAtWholePositions(const StoredChannel& channel, double width, int threadCount);

}  // namespace kestrand
