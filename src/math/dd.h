// Double-double building blocks: an unevaluated sum hi + lo carries about 106
// bits. Every operation here is exact or has a bounded, documented error, and
// none depends on the compiler contracting a*b+c (the build forbids it) or on
// the CPU having a fused multiply-add: twoProd is exact either way.
// Everything is forced inline so that the copies of the fast paths built for
// FMA use the instruction.
#pragma once

#include <cstdint>
#include <cstring>

#define ZB_CR_INLINE [[gnu::always_inline]] inline

namespace zb::cr::detail {

inline uint64_t bitsOf(double x) {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

inline double fromBits(uint64_t u) {
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// 2^e for -1022 <= e <= 1023.
inline double pow2(int e) { return fromBits(static_cast<uint64_t>(e + 1023) << 52); }

// s + t == a + b exactly, s = RN(a + b). Requires |a| >= |b| or a == 0.
ZB_CR_INLINE void fastTwoSum(double a, double b, double* s, double* t) {
    double sum = a + b;
    *t = b - (sum - a);
    *s = sum;
}

// s + t == a + b exactly, s = RN(a + b), for any a, b.
ZB_CR_INLINE void twoSum(double a, double b, double* s, double* t) {
    double sum = a + b;
    double bb = sum - a;
    *t = (a - (sum - bb)) + (b - bb);
    *s = sum;
}

// Fused multiply-add: where the target always has it (or the build enables
// it) there is one code path; on x86-64 without it, the fast paths are built
// twice and chosen per call from the CPU's features. Both versions give the
// same bits, since the only use of the instruction is twoProd, which is exact
// either way; so the choice cannot change a result, only the speed.
#if defined(__FMA__) || defined(__aarch64__)
inline constexpr bool kFmaBuiltIn = true;
#else
inline constexpr bool kFmaBuiltIn = false;
#endif
// ZB_CR_FORCE_PLAIN (for cross-checks) keeps every call on the version
// without the instruction.
#if !defined(__FMA__) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(ZB_CR_FORCE_PLAIN)
#define ZB_CR_FMA_TARGET __attribute__((target("fma")))
// Before the C runtime has filled in the CPU features this reads false, which
// only means the other (equally exact) path.
inline bool cpuHasFma() { return __builtin_cpu_supports("fma"); }
#elif defined(ZB_CR_FORCE_PLAIN)
#define ZB_CR_FMA_TARGET
inline bool cpuHasFma() { return false; }
#else
#define ZB_CR_FMA_TARGET
inline bool cpuHasFma() { return kFmaBuiltIn; }
#endif

// p + e == a * b exactly, p = RN(a * b), provided a*b neither overflows nor
// has its error term below the normal range (|a*b| > 2^-960 is enough).
// kFma: use the fused multiply-add (the caller is compiled for it).
template <bool kFma>
ZB_CR_INLINE void twoProd(double a, double b, double* p, double* e) {
    double prod = a * b;
    if constexpr (kFma || kFmaBuiltIn) {
        *e = __builtin_fma(a, b, -prod);
    } else {
        // Veltkamp split into 26-bit halves; exact for |a|, |b| < 2^995.
        constexpr double kSplit = 134217729.0;  // 2^27 + 1
        double ca = kSplit * a;
        double ah = ca - (ca - a);
        double al = a - ah;
        double cb = kSplit * b;
        double bh = cb - (cb - b);
        double bl = b - bh;
        *e = ((ah * bh - prod) + ah * bl + al * bh) + al * bl;
    }
    *p = prod;
}

// True when every real number within err of hi + lo rounds to the same
// double; that double is then hi, as hi = RN(hi + lo) for the normalised
// pairs the fast paths make. Callers return hi itself, so the result does not
// wait for the test: the branch is predicted and checked behind it. err must
// exceed the true error bound by at least 2^-100 |hi| to absorb the rounding
// of lo -+ err.
ZB_CR_INLINE bool roundsSafely(double hi, double lo, double err) {
    return __builtin_expect(hi + (lo - err) == hi + (lo + err), 1);
}

// Nearest integer (ties to even) of x, |x| < 2^51, without a library call.
ZB_CR_INLINE double roundToInt(double x) {
    constexpr double kShifter = 0x1.8p52;
    return (x + kShifter) - kShifter;
}

}  // namespace zb::cr::detail
