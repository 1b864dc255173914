#include "synth/synthesis_tables.h"

#include <algorithm>
#include <cmath>

namespace kestrand {

std::vector<double> makeTiltTable(int frameSize, double alpha) {
    std::vector<double> tilt(static_cast<std::size_t>(std::max(frameSize, 0)));
    for (int j = 0; j < frameSize; ++j) {
        double value;
        if (alpha <= 1.0) {
            value = (2.0 - alpha) * (1.0 - alpha + 0.04 * alpha * j);
        } else {
            value = j == 0 ? 0.0 : std::pow(0.04 * j / (1.0 + 0.1 * (alpha - 1.0)), 0.48 * alpha);
        }
        tilt[static_cast<std::size_t>(j)] = value;
    }
    return tilt;
}

MixGains makeMixGains(int frameSize, double breathiness, bool noFormant) {
    MixGains gains;
    const double inverse = 1.0 / frameSize;
    gains.voice = (noFormant ? 0.5 : inverse) * (breathiness < 0.5 ? 1.0 : 2.0 * (1.0 - breathiness));
    gains.noise = inverse * std::min(breathiness, 0.5) * 0.25;
    return gains;
}

int workerThreadCount(std::int32_t request, int processors) {
    if (request >= 1 && request <= 64) return request;
    const int p = std::max(processors, 1);
    if (p <= 2) return 2 * p;
    return std::min(p, 64);
}

}  // namespace kestrand
