#include "dsp/window_tables.h"

#include <cmath>
#include <cstddef>

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

}  // namespace kestrand
