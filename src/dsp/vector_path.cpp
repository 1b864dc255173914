#include "dsp/vector_path.h"

#include <atomic>

#include "dsp/vector_lanes.h"
#include "platform/environment.h"

namespace kestrand {

namespace {

bool processorHasWideVectors() {
#if defined(KESTRAND_WIDE_VECTORS)
    // The checks include the system's support for the wide registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

// -1 not decided yet, 0 baseline, 1 wide.
std::atomic<int>& choice() {
    static std::atomic<int> value{-1};
    return value;
}

}  // namespace

bool wideVectorPathAvailable() {
    static const bool available = processorHasWideVectors();
    return available;
}

bool wideVectorPath() {
    int value = choice().load(std::memory_order_relaxed);
    if (value < 0) {
        const auto asked = getEnvironment(L"KESTRAND_VECTOR_PATH");
        value = wideVectorPathAvailable() && !(asked && *asked == L"baseline") ? 1 : 0;
        choice().store(value, std::memory_order_relaxed);
    }
    return value == 1;
}

void chooseVectorPath(bool wide) { choice().store(wide && wideVectorPathAvailable() ? 1 : 0); }

std::string_view vectorPathName() {
#if defined(__x86_64__) || defined(__i386__)
    return wideVectorPath() ? "AVX2+FMA" : "SSE2";
#else
    return "scalar";
#endif
}

}  // namespace kestrand
