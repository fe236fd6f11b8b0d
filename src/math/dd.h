// Double-double building blocks: an unevaluated sum hi + lo carries about 106
// bits. Every operation here is exact or has a bounded, documented error, and
// none depends on the compiler contracting a*b+c (the build forbids it) or on
// the CPU having a fused multiply-add: twoProd is exact either way.
#pragma once

#include <cstdint>
#include <cstring>

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
inline void fastTwoSum(double a, double b, double* s, double* t) {
    double sum = a + b;
    *t = b - (sum - a);
    *s = sum;
}

// s + t == a + b exactly, s = RN(a + b), for any a, b.
inline void twoSum(double a, double b, double* s, double* t) {
    double sum = a + b;
    double bb = sum - a;
    *t = (a - (sum - bb)) + (b - bb);
    *s = sum;
}

// p + e == a * b exactly, p = RN(a * b), provided a*b neither overflows nor
// has its error term below the normal range (|a*b| > 2^-960 is enough).
inline void twoProd(double a, double b, double* p, double* e) {
    double prod = a * b;
#if defined(__FMA__) || defined(__aarch64__)
    // One instruction where the target guarantees it; the result is the same
    // exact error term as the split below.
    *e = __builtin_fma(a, b, -prod);
#else
    // Veltkamp split into 26-bit halves; exact for |a|, |b| < 2^995.
    constexpr double kSplit = 134217729.0;  // 2^27 + 1
    double ca = kSplit * a;
    double ah = ca - (ca - a);
    double al = a - ah;
    double cb = kSplit * b;
    double bh = cb - (cb - b);
    double bl = b - bh;
    *e = ((ah * bh - prod) + ah * bl + al * bh) + al * bl;
#endif
    *p = prod;
}

// If every real number within err of hi + lo rounds to the same double, stores
// it in *out and returns true. hi + lo must be normalised (|lo| <= ulp(hi)) and
// err must exceed the true error bound by at least 2^-100 |hi| to absorb the
// rounding of lo -+ err.
inline bool roundsSafely(double hi, double lo, double err, double* out) {
    double down = hi + (lo - err);
    double up = hi + (lo + err);
    *out = down;
    return down == up;
}

// Nearest integer (ties to even) of x, |x| < 2^51, without a library call.
inline double roundToInt(double x) {
    constexpr double kShifter = 0x1.8p52;
    return (x + kShifter) - kShifter;
}

}  // namespace zb::cr::detail
