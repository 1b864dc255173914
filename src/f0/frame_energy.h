// The windowed energy of analysis frames: the sum of the squared, windowed
// stored values over the span around each frame, as the frame level and the
// list amplitudes take it.
#pragma once

#include <cstdint>

#include "dsp/position_kernel.h"

namespace kestrand {

// For the frames k = 0 .. count - 1: sums[k] = the sum over j = 0 .. span - 1,
// added in that order, of ((scale x v_n + offset) x window[j])^2 with
// n = first + k x step + j and v_n the stored value of frame n, leaving out
// the terms with n < 0 or n >= end. Every n below end must lie inside the
// channel's padded values.
void windowedSquareSums(const StoredChannel& channel, double scale, double offset, std::int64_t end, std::int64_t first,
                        std::int64_t step, std::int64_t count, const double* window, int span, double* sums);

}  // namespace kestrand
