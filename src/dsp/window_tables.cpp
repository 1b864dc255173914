#include "dsp/window_tables.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace kestrand {

namespace {

std::vector<double> raisedCosine(int count, int period) {
    std::vector<double> window(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        window[static_cast<std::size_t>(i)] = 0.5 - 0.5 * std::cos(kAnalysisTwoPi * i / period);
    return window;
}

}  // namespace

AnalysisWindows makeAnalysisWindows(int windowLength) {
    const int span = windowLength + windowLength / 2;
    return AnalysisWindows{raisedCosine(windowLength, windowLength), raisedCosine(span + 1, span)};
}

std::vector<double> makeSineWindow(int frameSize) {
    std::vector<double> window(static_cast<std::size_t>(std::max(frameSize, 0)));
    for (int n = 0; n < frameSize; ++n)
        window[static_cast<std::size_t>(n)] = std::sin(std::numbers::pi * n / frameSize);
    return window;
}

}  // namespace kestrand
