// The two raised-cosine windows of the pitch analysis.
#pragma once

#include <vector>

namespace kestrand {

// The angle constant of both windows (and of the Fourier score of a frame).
inline constexpr double kAnalysisTwoPi = 6.28318530717958;

struct AnalysisWindows {
    std::vector<double> frameWindow;  // N entries: 0.5 - 0.5 cos(2 pi i / N)
    std::vector<double> spanWindow;   // N + N/2 + 1 entries: 0.5 - 0.5 cos(2 pi i / (N + N/2))
};

// Fills both windows for the window length N (N >= 2).
AnalysisWindows makeAnalysisWindows(int windowLength);

}  // namespace kestrand
