// Machine facts and timing.
#pragma once

namespace kestrand {

// Number of processors the program may use (at least 1).
int processorCount();

// A monotonic high-resolution clock in seconds, for timing a render.
double highResolutionSeconds();

}  // namespace kestrand
