#include "f0/frame_voicing.h"

#include <cmath>

#include "f0/frame_pitch.h"

namespace kestrand {

bool hasFewCandidates(int count, int lowestLag, int highestLag) {
    return count >= 1 && (highestLag - lowestLag + 1) / count > lowestLag;
}

double frameLevel(const FramePitchSetup& setup, std::int64_t position) {
    if (position >= 0 && position % setup.frameStep == 0) {
        const auto k = static_cast<std::size_t>(position / setup.frameStep);
        if (k < setup.levels.size()) return setup.levels[k];
    }
    const std::int64_t start = position - setup.quarter;
    const double* window = setup.windows.spanWindow.data();
    double sum = 0.0;
    for (int j = 0; j < setup.span; ++j) {
        const std::int64_t where = start + j;
        if (where < 0 || where >= setup.frames) continue;
        const double value = toSixteenBit(setup.stored.type, setup.stored.at(where), kAnalysisScales) * window[j];
        sum += value * value;
    }
    return std::sqrt(sum);
}

bool isLoudFrame(double level, double loudestLevel) { return level > 0.0 && level >= kLoudShare * loudestLevel; }

bool isClearlyPeriodic(double normalisedDifference) { return normalisedDifference <= kClearlyPeriodic; }

}  // namespace kestrand
