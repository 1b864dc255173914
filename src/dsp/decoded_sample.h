// The part of a voice sample that a note reads, decoded once per render into
// doubles in sixteen-bit scale, and the width-1 windowed-sinc reads over it
// that the direct waveform and the analysis frames use in bulk. Reads whose
// taps fall outside the decoded part go through the fast byte reads (dsp/sinc_fast.h),
// so every position gives the same value as there, up to rounding.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dsp/sample_view.h"
#include "dsp/sinc_fast.h"
#include "dsp/work_array.h"

namespace kestrand {

struct DecodedSample {
    SampleView view;   // the stored sample, for reads outside `values`
    WorkArray values;  // frames first .. first + size - 1; the stored-zero value outside the sample
    std::int64_t first = 0;
};

// Decodes the frames from .. to - 1 (either end may lie outside the sample;
// the part outside 0 .. frames - 1 holds the stored-zero value). An empty or
// reversed range decodes nothing; every read then takes the byte path.
DecodedSample decodeSample(const SampleView& view, std::int64_t from, std::int64_t to);

// Width-1 reads at the given positions: out[i] = read(positions[i]).
void readUnitBatch(const DecodedSample& sample, std::span<const double> positions, std::span<double> out);

// Width-1 reads along a line: out[i] = read(start + i * step).
void readUnitRun(const DecodedSample& sample, double start, double step, std::span<double> out);

// out[i] = read(start + i * step) with the given kernel width, by the fastest
// way the step and width allow.
void readRun(const DecodedSample& sample, double start, double step, const SincWidth& width, std::span<double> out);

// The decoded values of frames first .. first + count - 1, as the
// whole-sample read gives them, when all of them are decoded and first >= 0;
// null otherwise.
const double* decodedFrames(const DecodedSample& sample, std::int64_t first, std::size_t count);

// The whole-sample read of equal rates: out[i] = frame first + i, 0 before
// frame 0 and the stored-zero value behind the sample.
void readWholeFrames(const DecodedSample& sample, std::int64_t first, std::span<double> out);

}  // namespace kestrand
