// log. Fast path: x = 2^e m with m in [0.7, 1.42), log x = e ln2 - log c +
// log1p(m c - 1) for a table value c near 1/m, so |m c - 1| <= 2^-8 and a
// degree-9 series does; all in double-double. Slow path: one Newton step
// y + m exp(-y') - 1 in 256-bit fixed point from the fast value.
#include <cmath>
#include <cstdint>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/exp_log_tables.h"
#include "math/fixed.h"
#include "math/fixed_tables.h"
#include "math/internal.h"

namespace zb::cr {
namespace detail {
namespace {

// Relative error of the fast path: the degree >= 3 terms rounded in double
// are at most 2^-17.6 of log1p and cost about 2^-69 of it (2^-68.9 is the most seen); with margin.
constexpr double kLogErr = 0x1.8p-68;

struct LogArg {
    double m;  // in [1 - 2^-9, 1.42)
    int e;
    int index;
};

// x = m 2^e for positive finite x, with m scaled to the table entry's range.
LogArg splitLogArg(double x) {
    uint64_t u = bitsOf(x);
    int e = static_cast<int>(u >> 52) - 1023;
    if ((u >> 52) == 0) {  // subnormal
        u = bitsOf(x * 0x1p54);
        e = static_cast<int>(u >> 52) - 1023 - 54;
    }
    int index = static_cast<int>(((u >> 44) & 255) + 1) >> 1;
    double m = fromBits((u & ((uint64_t{1} << 52) - 1)) | (uint64_t{1023} << 52));
    if (index >= 53) {
        m *= 0.5;
        e += 1;
    }
    return {m, e, index};
}

}  // namespace

template <bool kFma>
ZB_CR_INLINE void logFastT(double x, double* hi, double* lo, double* err) {
    LogArg a = splitLogArg(x);
    const LogEntry& entry = kLogTable[a.index];
    // r = m c - 1 exactly as a double-double: m c - 1 is exact in the head
    // (the product is within 2^-7 of 1).
    double p, pe, rh, rl;
    twoProd<kFma>(a.m, entry.c, &p, &pe);
    twoSum(p - 1.0, pe, &rh, &rl);
    // log1p(r) = r - r^2/2 + r^3 (1/3 - r/4 + ...).
    double z, ze;
    twoProd<kFma>(rh, rh, &z, &ze);
    // Odd and even halves side by side: a shorter chain of dependent operations.
    double even = 1.0 / 3 + z * (1.0 / 5 + z * (1.0 / 7 + z * (1.0 / 9)));
    double odd = -1.0 / 4 + z * (-1.0 / 6 + z * (-1.0 / 8));
    double tail = rh * z * (even + rh * odd);
    double h1, l1;
    fastTwoSum(rh, -0.5 * z, &h1, &l1);
    l1 += rl - 0.5 * ze - rh * rl + tail;
    // e ln2 + (-log c) + log1p(r); no cancellation: |e ln2| > 2 |log m|.
    double ed = a.e;
    double s1, s1e, s2, s2e;
    fastTwoSum(ed * kLn2Hi, entry.mlogHi, &s1, &s1e);
    twoSum(s1, h1, &s2, &s2e);
    fastTwoSum(s2, s1e + s2e + ed * kLn2Lo + entry.mlogLo + l1, hi, lo);
    *err = kLogErr * (*hi < 0 ? -*hi : *hi);
}

template <bool kFma>
void logFast(double x, double* hi, double* lo, double* err) {
    logFastT<kFma>(x, hi, lo, err);
}
template void logFast<false>(double, double*, double*, double*);
template void logFast<true>(double, double*, double*, double*);

double logSlow(double x) {
    double hi, lo, err;
    logFastT<false>(x, &hi, &lo, &err);
    LogArg a = splitLogArg(x);
    // y ~ log x; z = y - e ln2 ~ log m; d = m exp(-z) - 1 is about the fast
    // path's error, and log x = y + log1p(d) = y + d - d^2/2 + d^3/3.
    Fixed y = fixedAdd(fixedFromDouble(hi), fixedFromDouble(lo));
    Fixed z = fixedSub(y, fixedMul(fixedFromDouble(a.e), kFixedLn2));
    Fixed d = fixedSub(fixedMul(fixedFromDouble(a.m), fixedExp(fixedNeg(z))), kFixedOne);
    Fixed d2 = fixedMul(d, d);
    Fixed corr = fixedAdd(fixedSub(d, fixedShiftRight(d2, 1)), fixedDivSmall(fixedMul(d2, d), 3));
    return fixedRound(fixedAdd(y, corr), 0);
}

namespace {

template <bool kFma>
ZB_CR_INLINE double logT(double x) {
    uint64_t u = bitsOf(x);
    if (u >= 0x7ff0000000000000ull) {  // negative (including -0), infinity or NaN
        if (x == 0) {
            return -HUGE_VAL;
        }
        return x < 0 ? (x - x) / (x - x) : x + x;
    }
    if (x == 0) {
        return -HUGE_VAL;
    }
    if (x == 1) {
        return 0.0;
    }
    double hi, lo, err;
    logFastT<kFma>(x, &hi, &lo, &err);
    if (roundsSafely(hi, lo, err)) {
        return hi;
    }
    return logSlow(x);
}

ZB_CR_FMA_TARGET double logWithFma(double x) { return logT<true>(x); }
[[gnu::noinline]] double logPlain(double x) { return logT<false>(x); }

}  // namespace
}  // namespace detail

ZB_CR_PURE double log(double x) { return detail::cpuHasFma() ? detail::logWithFma(x) : detail::logPlain(x); }

}  // namespace zb::cr
