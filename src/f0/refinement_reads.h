// The refinement's measure of a frame at fractional lags, for several lags at
// once: for a lag tau, the windowed squared difference between the sample
// read half a lag before and half a lag after each point of the frame's
// refinement span, and the windowed energy of both reads.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dsp/position_kernel.h"

namespace kestrand {

// The measure at one lag (difference 1e30 stands for "none yet").
struct RefinedDifference {
    double difference = 1e30;
    double energy = 0;
};

// What the measure reads: the stored channel, the weights spanWindow[2 m]
// for m = 0 .. terms - 1, and the longest lag asked for in the usual case
// (3N/4; any lag works, longer ones only more slowly).
struct RefinementSpan {
    const StoredChannel* stored = nullptr;
    const double* weights = nullptr;
    int terms = 0;
    int lagLimit = 0;
};

// Width-1 reader kernels remembered by their taps' offsets from the
// origin, on which alone their weights depend: a kernel met again (the
// refinement's steps visit the same fractions in many frames) is copied,
// not computed.
class UnitKernels {
public:
    UnitKernels();
    // buildReaderKernel(origin, 1.0, kernel), the same to the last bit.
    void build(double origin, ReaderKernel& kernel);

private:
    struct Entry {
        std::array<std::uint64_t, 5> offsets{};
        std::array<double, 5> weights{};
        double denominator = 0;
        int count = 0;  // 0: empty
        bool usable = false;
    };
    std::vector<Entry> entries_;
};

// Per-thread storage of the reads, sized once for a span.
class RefinementReads {
public:
    explicit RefinementReads(const RefinementSpan& span);

    // For e = 0 .. count - 1, with o = base - lags[e] / 2, b_m the read of
    // the depth at width 1 at o + m (through the kernel built at o, half a
    // lag before the point base + m) and a_m the read at o + lags[e] + m
    // (through the kernel built there, half a lag after the point):
    // out[e].difference = the sum over m = 0 .. terms - 1, in that order, of
    // (b_m - a_m)^2 x weights[m], and out[e].energy the sum of (b_m^2 +
    // a_m^2) x weights[m] when withEnergy, else 0. Exactly what one lag at a
    // time, read by read, gives.
    void measure(const RefinementSpan& span, double base, const double* lags, int count, bool withEnergy,
                 RefinedDifference* out);

private:
    // Reads at the whole and quarter positions around one base, which every
    // lag that is a multiple of a half shares: window f holds the reads at
    // windowStart + f / 4 + k, each through the kernel at windowStart + f /
    // 4, which has the same weights as the kernel at any position a whole
    // number of frames away.
    double windowBase_;
    double windowStart_ = 0;
    std::array<std::vector<double>, 4> windows_;
    std::array<bool, 4> filled_{};
    // The reads of lags off that grid, one pair of runs per lane.
    std::array<std::vector<double>, 8> runs_;
    ReaderKernel kernel_;
    UnitKernels kernels_;

    // The reads from origin on (terms of them): a window's when the origin
    // lies on the grid, else computed into `run`.
    const double* readsFrom(const RefinementSpan& span, double origin, std::vector<double>& run);
};

}  // namespace kestrand
