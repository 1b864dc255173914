// Four doubles as one value, for the hot loops of the synthesis. Each lane
// is computed as the plain scalar code would compute it (on processors with
// fused multiply-add, a product and the sum after it may be rounded once).
// The helpers take vectors by reference and return them by value; they are
// always inlined, so the calling convention for returned vectors never
// applies (hence the silenced ABI warning).
#pragma once

#include <cstring>

#include "dsp/vector_path.h"

#pragma GCC diagnostic ignored "-Wpsabi"

// The hot loops are built twice, for processors with AVX2 and fused
// multiply-add and for the baseline, and the copy for this process is chosen
// once from the processor's features (dsp/vector_path.h), in the Windows and
// Linux builds alike. A loop's body is marked KESTRAND_VECTOR_BODY (always
// inlined) and called through KESTRAND_VECTOR_CALL, which inlines it into
// both copies. clang (the fuzzing build) builds the baseline only; so do
// unoptimised and sanitizer builds, where GCC miscompiles the inlined
// helpers inside the wide copy.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(__clang__) && defined(__OPTIMIZE__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define KESTRAND_WIDE_VECTORS 1
#endif

#define KESTRAND_VECTOR_BODY [[gnu::always_inline]] inline

#ifdef KESTRAND_WIDE_VECTORS
#define KESTRAND_VECTOR_CALL(body, ...)                                                                       \
    (::kestrand::wideVectorPath() ? [&]() __attribute__((target("avx2,fma"))) { return body(__VA_ARGS__); }() \
                                  : body(__VA_ARGS__))
#else
#define KESTRAND_VECTOR_CALL(body, ...) body(__VA_ARGS__)
#endif

namespace kestrand::lanes {

typedef double Lanes __attribute__((vector_size(32)));
typedef long long Index __attribute__((vector_size(32)));
typedef int Int4 __attribute__((vector_size(16)));

#if defined(__clang__)
// clang has no shuffle with a mask vector (its own takes constant indices),
// so the fuzzing build picks the lanes one by one; the mask is a constant at
// every use, so the loop folds away.
[[gnu::always_inline]] inline Lanes shuffleLanes(Lanes a, Lanes b, Index mask) {
    Lanes r;
    for (int k = 0; k < 4; ++k) r[k] = mask[k] < 4 ? a[mask[k] & 3] : b[mask[k] & 3];
    return r;
}
[[gnu::always_inline]] inline Lanes shuffleLanes(Lanes a, Index mask) { return shuffleLanes(a, a, mask); }
#define __builtin_shuffle(...) ::kestrand::lanes::shuffleLanes(__VA_ARGS__)
#endif

[[gnu::always_inline]] inline Lanes load(const double* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
[[gnu::always_inline]] inline void store(double* p, const Lanes& v) { std::memcpy(p, &v, sizeof v); }
[[gnu::always_inline]] inline Lanes reversed(const Lanes& v) { return __builtin_shuffle(v, Index{3, 2, 1, 0}); }

// rows[l][k] <- rows[k][l].
[[gnu::always_inline]] inline void transpose(Lanes* rows) {
    const Lanes t0 = __builtin_shuffle(rows[0], rows[1], Index{0, 4, 2, 6});
    const Lanes t1 = __builtin_shuffle(rows[0], rows[1], Index{1, 5, 3, 7});
    const Lanes t2 = __builtin_shuffle(rows[2], rows[3], Index{0, 4, 2, 6});
    const Lanes t3 = __builtin_shuffle(rows[2], rows[3], Index{1, 5, 3, 7});
    rows[0] = __builtin_shuffle(t0, t2, Index{0, 1, 4, 5});
    rows[1] = __builtin_shuffle(t1, t3, Index{0, 1, 4, 5});
    rows[2] = __builtin_shuffle(t0, t2, Index{2, 3, 6, 7});
    rows[3] = __builtin_shuffle(t1, t3, Index{2, 3, 6, 7});
}

}  // namespace kestrand::lanes
