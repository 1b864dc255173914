#include "synth/time_map.h"

#include <algorithm>
#include <cmath>

namespace kestrand {

namespace {

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

// 2^(velocity / 100 - 1), the exponent kept within +-30 so that absurd
// velocities give extreme but finite speeds.
double velocityFactor(double velocity) {
    return std::exp2(std::clamp(finiteOrZero(velocity) * 0.01 - 1.0, -30.0, 30.0));
}

}  // namespace

TimeMap makeTimeMap(const VoiceEntry& region, double inputRate, double outputRate, double outCount, double velocity1,
                    double velocity2, bool reverse) {
    const double k = inputRate / 1000.0;
    double t = region.offset * k;
    const double u = region.fix1 * k;
    double w = region.length * k;
    const double A = region.fix2 * k;
    const double B = outCount;
    const double ratio = inputRate / outputRate;
    const double l = velocityFactor(velocity1);
    const double m = velocityFactor(velocity2);

    TimeMap map;
    if (region.fix2 <= 0) {
        map.headRate = map.tailRate = ratio * l;
        if (B * ratio > w + u / l - u) {
            map.middleRate = (w - u) / (B - (u / l) / ratio);
        } else {
            map.middleRate = ratio;
            w = B * ratio > u / l ? B * ratio + u * (1.0 - 1.0 / l) : l * B * ratio;
        }
    } else if (region.fix1 <= 0) {
        map.headRate = map.tailRate = ratio * m;
        if (B * ratio > w + A / m - A) {
            map.middleRate = (w - A) / (B - (A / m) / ratio);
        } else {
            map.middleRate = ratio;
            const double shortened = B * ratio > A / m ? B * ratio + A * (1.0 - 1.0 / m) : m * B * ratio;
            t = t + w - shortened;
            w = shortened;
        }
    } else {
        const double G = B - (A / m + u / l) / ratio;
        if (G > 256.0) {
            map.headRate = ratio * l;
            map.tailRate = ratio * m;
            map.middleRate = (w - u - A) / G;
        } else {
            // The middle takes 256 output samples and the head and tail share
            // the rest; a note too short for that gives the middle half.
            const double middle = B > 256.0 ? 256.0 : std::max(std::floor(B / 2.0), 1.0);
            const double edges = std::max(B - middle, 1.0);
            map.headRate = map.tailRate = (A + u) / edges;
            map.middleRate = (w - u - A) / middle;
        }
    }
    for (double* rate : {&map.headRate, &map.middleRate, &map.tailRate}) {
        if (!std::isfinite(*rate)) *rate = ratio;
    }
    map.start = t;
    map.length = w;
    map.middleEnd = t + w - A;
    map.headEnd = t + u;
    map.startPosition = t;
    if (reverse) {
        map.startPosition = t + w;
        map.headRate = -map.headRate;
        map.middleRate = -map.middleRate;
        map.tailRate = -map.tailRate;
    }
    return map;
}

}  // namespace kestrand
