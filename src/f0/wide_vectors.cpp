#include "f0/wide_vectors.h"

namespace kestrand::wide {

bool wideVectorsAvailable() {
#ifdef KESTRAND_F0_WIDE
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
#else
    return false;
#endif
}

bool fusedVectorsAvailable() {
#ifdef KESTRAND_F0_WIDE
    static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return available;
#else
    return false;
#endif
}

}  // namespace kestrand::wide
