// exp. Fast path: x = (128 m + j) ln2/128 + r with |r| <= ln2/256, exp(x) =
// 2^m 2^(j/128) exp(r), the table entry and exp(r) - 1 in double-double.
// Slow path: x = k ln2 + r in 256-bit fixed point.
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

// Relative error of the fast path: polynomial truncation 2^-83, rounding of
// the degree >= 3 terms about 2^-79, the rest near 2^-105; with margin.
constexpr double kExpErr = 0x1p-76;

}  // namespace

template <bool kFma>
ZB_CR_INLINE void expFastT(double x, double* hi, double* lo, int* scale, double* err) {
    double kd = roundToInt(x * k128OverLn2);
    auto k = static_cast<int64_t>(kd);
    // r = x - k ln2/128: the first product and difference are exact, the
    // second product too (35-bit pieces, |k| < 2^18).
    double t = x - kd * kLn2Over128Parts[0];
    double rh, rl;
    twoSum(t, -(kd * kLn2Over128Parts[1]), &rh, &rl);
    rl -= kd * kLn2Over128Parts[2];
    fastTwoSum(rh, rl, &rh, &rl);
    // exp(r) - 1 = r + r^2/2 + r^3 (1/6 + r/24 + ...).
    double z, ze;
    twoProd<kFma>(rh, rh, &z, &ze);
    double tail = rh * z * (1.0 / 6 + rh * (1.0 / 24 + rh * (1.0 / 120 + rh * (1.0 / 720 + rh * (1.0 / 5040)))));
    double h0, l0;
    fastTwoSum(rh, 0.5 * z, &h0, &l0);
    l0 += rl + 0.5 * ze + rh * rl + tail;
    // 2^(j/128) (1 + (exp(r) - 1)).
    const double* tj = kExp2Table[k & 127];
    double p, pe, s, se;
    twoProd<kFma>(tj[0], h0, &p, &pe);
    pe += tj[0] * l0 + tj[1] * h0;
    fastTwoSum(tj[0], p, &s, &se);
    fastTwoSum(s, se + pe + tj[1], hi, lo);
    *scale = static_cast<int>(k >> 7);  // floor(k / 128)
    *err = kExpErr * 1.5;               // hi < 1.5
}

template <bool kFma>
void expFast(double x, double* hi, double* lo, int* scale, double* err) {
    expFastT<kFma>(x, hi, lo, scale, err);
}
template void expFast<false>(double, double*, double*, int*, double*);
template void expFast<true>(double, double*, double*, int*, double*);

double expSlow(double x) {
    double kd = roundToInt(x * 0x1.71547652b82fep0);  // nearest k to x / ln2
    Fixed r = fixedSub(fixedFromDouble(x), fixedMul(fixedFromDouble(kd), kFixedLn2));
    return fixedRound(fixedExp(r), static_cast<int>(kd));
}

namespace {

template <bool kFma>
ZB_CR_INLINE double expT(double x) {
    if (!(x <= 709.79)) {  // NaN, or exp overflows
        return x != x ? x + x : 0x1p1023 * 2.0;
    }
    if (x < -708.3) {  // subnormal or zero result: rounded on the subnormal grid
        return x < -745.2 ? 0.0 : expSlow(x);
    }
    double ax = x < 0 ? -x : x;
    if (ax < 0x1p-54) {
        return 1.0;
    }
    double hi, lo, err;
    int scale;
    expFastT<kFma>(x, &hi, &lo, &scale, &err);
    if (!roundsSafely(hi, lo, err)) {
        return expSlow(x);
    }
    // hi 2^scale is normal here, so the scaling is exact (or overflows, as
    // the correctly rounded result then does).
    if (scale > 1000) {
        return hi * pow2(scale - 2) * 4.0;
    }
    return hi * pow2(scale);
}

ZB_CR_FMA_TARGET double expWithFma(double x) { return expT<true>(x); }
[[gnu::noinline]] double expPlain(double x) { return expT<false>(x); }

}  // namespace
}  // namespace detail

ZB_CR_PURE double exp(double x) { return detail::cpuHasFma() ? detail::expWithFma(x) : detail::expPlain(x); }

}  // namespace zb::cr
