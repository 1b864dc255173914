// Which copy of the hot loops this process runs: the one for processors with
// AVX2 and fused multiply-add, or the baseline.
#pragma once

#include <string_view>

namespace kestrand {

// True when the wide copy runs: it was built, the processor and the system
// support AVX2 and FMA, and the environment variable KESTRAND_VECTOR_PATH
// does not say "baseline". Decided at the first call and kept for the
// process, so results stay the same from run to run on one machine.
bool wideVectorPath();

// "AVX2+FMA" or "SSE2" (x86), or "scalar" elsewhere: the path in use.
std::string_view vectorPathName();

// For tests and benchmarks: runs the wide copy (when it was built and the
// processor has it) or the baseline from now on. Not for use while other
// threads run hot loops.
void chooseVectorPath(bool wide);

// True when the wide copy was built and the processor can run it.
bool wideVectorPathAvailable();

}  // namespace kestrand
