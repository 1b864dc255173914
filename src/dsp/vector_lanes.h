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
// Linux builds alike. A loop's body is a function template over the lane
// type, marked KESTRAND_VECTOR_BODY (always inlined) and called through
// KESTRAND_VECTOR_CALL, which inlines it into both copies: the wide copy
// with `Wide` (one 32-byte register), the baseline with `Pair` (two 16-byte
// registers, which every x86 processor of the targets has). Both compute the
// same lanes the same way. clang (the fuzzing build) builds the baseline
// only; so do unoptimised and sanitizer builds, where GCC miscompiles the
// inlined helpers inside the wide copy.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(__clang__) && defined(__OPTIMIZE__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define KESTRAND_WIDE_VECTORS 1
#endif

#define KESTRAND_VECTOR_BODY [[gnu::always_inline]] inline

#ifdef KESTRAND_WIDE_VECTORS
#define KESTRAND_VECTOR_CALL(body, ...)                                                                       \
    (::kestrand::wideVectorPath()                                                                             \
         ? [&]() __attribute__((target("avx2,fma"))) { return body<::kestrand::lanes::Wide>(__VA_ARGS__); }() \
         : body<::kestrand::lanes::Pair>(__VA_ARGS__))
#else
#define KESTRAND_VECTOR_CALL(body, ...) body<::kestrand::lanes::Pair>(__VA_ARGS__)
#endif

namespace kestrand::lanes {

#define KESTRAND_LANE_HELPER [[gnu::always_inline]] inline

typedef int Int4 __attribute__((vector_size(16)));

// ---- The baseline: four lanes as two halves of 16 bytes ---------------------
// Without AVX a 32-byte vector has no register, and the compiler keeps it in
// memory between operations; two 16-byte halves stay in registers.

typedef double Half __attribute__((vector_size(16)));
typedef decltype(Half{} < Half{}) HalfMask;

struct Pair {
    Half lo, hi;  // lanes 0, 1 and 2, 3
    KESTRAND_LANE_HELPER double operator[](int k) const { return k < 2 ? lo[k] : hi[k - 2]; }
};

// Lanes all ones where a comparison holds, zero elsewhere.
struct PairMask {
    HalfMask lo, hi;
    KESTRAND_LANE_HELPER auto operator[](int k) const { return k < 2 ? lo[k] : hi[k - 2]; }
};

KESTRAND_LANE_HELPER Half halfOf(double x) { return Half{x, x}; }

#define KESTRAND_PAIR_OPERATOR(op)                                                                                   \
    KESTRAND_LANE_HELPER Pair operator op(const Pair& a, const Pair& b) { return Pair{a.lo op b.lo, a.hi op b.hi}; } \
    KESTRAND_LANE_HELPER Pair operator op(const Pair& a, double b) {                                                 \
        const Half h = halfOf(b);                                                                                    \
        return Pair{a.lo op h, a.hi op h};                                                                           \
    }                                                                                                                \
    KESTRAND_LANE_HELPER Pair operator op(double a, const Pair& b) {                                                 \
        const Half h = halfOf(a);                                                                                    \
        return Pair{h op b.lo, h op b.hi};                                                                           \
    }                                                                                                                \
    KESTRAND_LANE_HELPER Pair& operator op##=(Pair& a, const Pair& b) { return a = a op b; }                         \
    KESTRAND_LANE_HELPER Pair& operator op##=(Pair& a, double b) { return a = a op b; }
KESTRAND_PAIR_OPERATOR(+)
KESTRAND_PAIR_OPERATOR(-)
KESTRAND_PAIR_OPERATOR(*)
KESTRAND_PAIR_OPERATOR(/)
#undef KESTRAND_PAIR_OPERATOR

KESTRAND_LANE_HELPER Pair operator-(const Pair& a) { return Pair{-a.lo, -a.hi}; }

#define KESTRAND_PAIR_COMPARISON(op)                                          \
    KESTRAND_LANE_HELPER PairMask operator op(const Pair& a, const Pair& b) { \
        return PairMask{a.lo op b.lo, a.hi op b.hi};                          \
    }                                                                         \
    KESTRAND_LANE_HELPER PairMask operator op(const Pair& a, double b) {      \
        const Half h = halfOf(b);                                             \
        return PairMask{a.lo op h, a.hi op h};                                \
    }
KESTRAND_PAIR_COMPARISON(<)
KESTRAND_PAIR_COMPARISON(<=)
KESTRAND_PAIR_COMPARISON(>)
KESTRAND_PAIR_COMPARISON(>=)
KESTRAND_PAIR_COMPARISON(==)
#undef KESTRAND_PAIR_COMPARISON

KESTRAND_LANE_HELPER PairMask operator&(const PairMask& a, const PairMask& b) {
    return PairMask{a.lo & b.lo, a.hi & b.hi};
}

// ---- Lane sets by type: construction, loads and stores ----------------------

template <class L>
L broadcast(double x);
template <class L>
L make(double a, double b, double c, double d);
template <class L>
L load(const double* p);

template <>
KESTRAND_LANE_HELPER Pair broadcast<Pair>(double x) {
    return Pair{halfOf(x), halfOf(x)};
}
template <>
KESTRAND_LANE_HELPER Pair make<Pair>(double a, double b, double c, double d) {
    return Pair{Half{a, b}, Half{c, d}};
}
template <>
KESTRAND_LANE_HELPER Pair load<Pair>(const double* p) {
    Pair v;
    std::memcpy(&v.lo, p, sizeof v.lo);
    std::memcpy(&v.hi, p + 2, sizeof v.hi);
    return v;
}
KESTRAND_LANE_HELPER void store(double* p, const Pair& v) {
    std::memcpy(p, &v.lo, sizeof v.lo);
    std::memcpy(p + 2, &v.hi, sizeof v.hi);
}

// ---- Lane moves ---------------------------------------------------------------

KESTRAND_LANE_HELPER Half swapped(const Half& h) { return Half{h[1], h[0]}; }
KESTRAND_LANE_HELPER Half lows(const Half& a, const Half& b) { return Half{a[0], b[0]}; }
KESTRAND_LANE_HELPER Half highs(const Half& a, const Half& b) { return Half{a[1], b[1]}; }

// Lanes 3, 2, 1, 0.
KESTRAND_LANE_HELPER Pair reversed(const Pair& v) { return Pair{swapped(v.hi), swapped(v.lo)}; }
// a0 a2 b0 b2 and a1 a3 b1 b3.
KESTRAND_LANE_HELPER Pair evens(const Pair& a, const Pair& b) { return Pair{lows(a.lo, a.hi), lows(b.lo, b.hi)}; }
KESTRAND_LANE_HELPER Pair odds(const Pair& a, const Pair& b) { return Pair{highs(a.lo, a.hi), highs(b.lo, b.hi)}; }
// a0 b0 a1 b1 and a2 b2 a3 b3.
KESTRAND_LANE_HELPER Pair interleaveLow(const Pair& a, const Pair& b) {
    return Pair{lows(a.lo, b.lo), highs(a.lo, b.lo)};
}
KESTRAND_LANE_HELPER Pair interleaveHigh(const Pair& a, const Pair& b) {
    return Pair{lows(a.hi, b.hi), highs(a.hi, b.hi)};
}

// rows[l][k] <- rows[k][l].
KESTRAND_LANE_HELPER void transpose(Pair* rows) {
    const Pair r0 = rows[0], r1 = rows[1], r2 = rows[2], r3 = rows[3];
    rows[0] = Pair{lows(r0.lo, r1.lo), lows(r2.lo, r3.lo)};
    rows[1] = Pair{highs(r0.lo, r1.lo), highs(r2.lo, r3.lo)};
    rows[2] = Pair{lows(r0.hi, r1.hi), lows(r2.hi, r3.hi)};
    rows[3] = Pair{highs(r0.hi, r1.hi), highs(r2.hi, r3.hi)};
}

// a where the mask is set, b elsewhere.
KESTRAND_LANE_HELPER Pair select(const PairMask& m, const Pair& a, const Pair& b) {
    return Pair{m.lo ? a.lo : b.lo, m.hi ? a.hi : b.hi};
}
KESTRAND_LANE_HELPER bool allSet(const PairMask& m) { return (m.lo[0] & m.lo[1] & m.hi[0] & m.hi[1]) != 0; }

// The lanes truncated to whole numbers (each must fit an int).
KESTRAND_LANE_HELPER Int4 truncatedInts(const Pair& v) {
    return Int4{static_cast<int>(v.lo[0]), static_cast<int>(v.lo[1]), static_cast<int>(v.hi[0]),
                static_cast<int>(v.hi[1])};
}

#ifdef KESTRAND_WIDE_VECTORS
// ---- The wide copy: one 32-byte register ------------------------------------

typedef double Wide __attribute__((vector_size(32)));
// What comparisons of lanes give: all ones where they hold, zero elsewhere.
typedef decltype(Wide{} < Wide{}) WideMask;

template <>
KESTRAND_LANE_HELPER Wide broadcast<Wide>(double x) {
    return Wide{x, x, x, x};
}
template <>
KESTRAND_LANE_HELPER Wide make<Wide>(double a, double b, double c, double d) {
    return Wide{a, b, c, d};
}
template <>
KESTRAND_LANE_HELPER Wide load<Wide>(const double* p) {
    Wide v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
KESTRAND_LANE_HELPER void store(double* p, const Wide& v) { std::memcpy(p, &v, sizeof v); }

KESTRAND_LANE_HELPER Wide reversed(const Wide& v) { return __builtin_shuffle(v, WideMask{3, 2, 1, 0}); }
KESTRAND_LANE_HELPER Wide evens(const Wide& a, const Wide& b) { return __builtin_shuffle(a, b, WideMask{0, 2, 4, 6}); }
KESTRAND_LANE_HELPER Wide odds(const Wide& a, const Wide& b) { return __builtin_shuffle(a, b, WideMask{1, 3, 5, 7}); }
KESTRAND_LANE_HELPER Wide interleaveLow(const Wide& a, const Wide& b) {
    return __builtin_shuffle(a, b, WideMask{0, 4, 1, 5});
}
KESTRAND_LANE_HELPER Wide interleaveHigh(const Wide& a, const Wide& b) {
    return __builtin_shuffle(a, b, WideMask{2, 6, 3, 7});
}

KESTRAND_LANE_HELPER void transpose(Wide* rows) {
    const Wide t0 = __builtin_shuffle(rows[0], rows[1], WideMask{0, 4, 2, 6});
    const Wide t1 = __builtin_shuffle(rows[0], rows[1], WideMask{1, 5, 3, 7});
    const Wide t2 = __builtin_shuffle(rows[2], rows[3], WideMask{0, 4, 2, 6});
    const Wide t3 = __builtin_shuffle(rows[2], rows[3], WideMask{1, 5, 3, 7});
    rows[0] = __builtin_shuffle(t0, t2, WideMask{0, 1, 4, 5});
    rows[1] = __builtin_shuffle(t1, t3, WideMask{0, 1, 4, 5});
    rows[2] = __builtin_shuffle(t0, t2, WideMask{2, 3, 6, 7});
    rows[3] = __builtin_shuffle(t1, t3, WideMask{2, 3, 6, 7});
}

KESTRAND_LANE_HELPER Wide select(const WideMask& m, const Wide& a, const Wide& b) { return m ? a : b; }
KESTRAND_LANE_HELPER bool allSet(const WideMask& m) { return (m[0] & m[1] & m[2] & m[3]) != 0; }
KESTRAND_LANE_HELPER Int4 truncatedInts(const Wide& v) { return __builtin_convertvector(v, Int4); }
#endif

#undef KESTRAND_LANE_HELPER

}  // namespace kestrand::lanes
