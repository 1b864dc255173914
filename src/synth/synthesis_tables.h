// The tables and weights that the synthesis driver prepares once per render
// and the workers read.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrand {

// The breath spectral tilt per bin j = 0 .. N - 1 for the tilt parameter
// alpha (0 .. 10): for alpha <= 1 the line (2 - alpha)(1 - alpha + 0.04 alpha j),
// otherwise 0 at j = 0 and (0.04 j / (1 + 0.1 (alpha - 1)))^(0.48 alpha).
std::vector<double> makeTiltTable(int frameSize, double alpha);

struct MixGains {
    double voice = 0;  // weight of the reshaped voice frame
    double noise = 0;  // weight of the breath frame
};

// voice = (0.5 with noFormant, else 1 / N) x (1 below breathiness 0.5, else
// 2 (1 - breathiness)); noise = (1 / N) x min(breathiness, 0.5) x 0.25.
MixGains makeMixGains(int frameSize, double breathiness, bool noFormant);

// Worker threads of a render: the request when it is 1 .. 64; otherwise twice
// the processor count on machines with at most two processors, else the
// processor count, at most 64.
int workerThreadCount(std::int32_t request, int processors);

}  // namespace kestrand
