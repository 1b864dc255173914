#include "f0/wide_vectors.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace kestrand::wide {

RoundingUnits roundingUnits() {
#if defined(__SSE__) || defined(__x86_64__)
    // The rounding control bits of the SSE control register.
    if ((_mm_getcsr() & 0x6000u) == 0) return {0x1p-24, 0x1p-53};
#endif
    return {0x1p-23, 0x1p-52};
}

}  // namespace kestrand::wide
