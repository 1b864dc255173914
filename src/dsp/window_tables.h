// The window tables: the two raised-cosine windows of the pitch analysis and
// the sine window of the synthesis frames.
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

// sin(pi n / N) for n = 0 .. N - 1: the window of every synthesis frame, applied
// before the forward transforms and again to the finished frame; the squares
// of frames a quarter frame apart add up to 2. Empty for N <= 0.
std::vector<double> makeSineWindow(int frameSize);

}  // namespace kestrand
