// Four doubles as one value for the hot loops of the pitch analysis. Each
// lane is computed exactly as the scalar formula computes it: the wide paths
// are compiled for AVX2 without fused multiply-add, so every product and
// every sum is rounded on its own, as in the written formulas. A function
// body that uses these is written once as an always-inlined template and
// compiled twice, for the baseline and for AVX2 (KESTRAND_F0_WIDE_TARGET);
// the process's vector path (dsp/vector_path.h) chooses at run time, as for
// every other hot loop.
#pragma once

#include <cstring>

#include "dsp/vector_lanes.h"

// The wide copies are built where the other hot loops' are.
#ifdef KESTRAND_WIDE_VECTORS
#define KESTRAND_F0_WIDE 1
#define KESTRAND_F0_WIDE_TARGET __attribute__((target("avx2")))
// Only for sums whose rounding is bounded, not reproduced: products and the
// sums after them may be fused (rounded once).
#define KESTRAND_F0_FUSED_TARGET __attribute__((target("avx2,fma")))
#endif

// The helpers, and the always-inlined bodies that use them, pass vectors by
// value; being inlined, they never use the calling convention for vectors
// (hence the silenced ABI warning, for the files that include this).
#pragma GCC diagnostic ignored "-Wpsabi"

namespace kestrand::wide {

typedef double Quad __attribute__((vector_size(32)));

[[gnu::always_inline]] inline Quad load(const double* p) {
    Quad v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

[[gnu::always_inline]] inline void store(double* p, Quad v) { std::memcpy(p, &v, sizeof v); }

[[gnu::always_inline]] inline Quad splat(double x) { return Quad{x, x, x, x}; }

// Rows a, b, c, d become the columns: a = (a0, b0, c0, d0), b = (a1, b1, c1, d1), ...
[[gnu::always_inline]] inline void transpose(Quad& a, Quad& b, Quad& c, Quad& d) {
    const Quad t0 = __builtin_shufflevector(a, b, 0, 4, 2, 6);
    const Quad t1 = __builtin_shufflevector(a, b, 1, 5, 3, 7);
    const Quad t2 = __builtin_shufflevector(c, d, 0, 4, 2, 6);
    const Quad t3 = __builtin_shufflevector(c, d, 1, 5, 3, 7);
    a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    b = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    c = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

// The unit roundoffs of single and double precision as the processor now
// rounds: half an ulp when it rounds to nearest, a whole one otherwise. For
// the bounds of sums whose rounding is bounded, not reproduced.
struct RoundingUnits {
    double single;
    double twice;
};
RoundingUnits roundingUnits();

}  // namespace kestrand::wide
