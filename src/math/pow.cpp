// x^1.5 = x sqrt(x). Fast path: sqrt(x) as a double-double by one correction,
// times x; about 2^-103 relative. Exact and halfway results (x^1.5 is
// algebraic) fail the rounding test and are decided in integer arithmetic.
#include <cmath>
#include <cstdint>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/exact_sqrt.h"
#include "math/internal.h"

namespace zb::cr {
namespace detail {

constexpr double kPowErr = 0x1p-98;

// x sqrt(x) as hi + lo for x in [2^-600, 2^600]: sqrt(x) to 2^-104 by one
// correction, then the product exactly in its head.
template <bool kFma>
ZB_CR_INLINE void powOneAndHalfFastT(double x, double* hi, double* lo) {
    double s = std::sqrt(x);
    double p, pe;
    twoProd<kFma>(s, s, &p, &pe);
    double sl = ((x - p) - pe) / (2 * s);
    double h, he;
    twoProd<kFma>(x, s, &h, &he);
    fastTwoSum(h, he + x * sl, hi, lo);
}

template <bool kFma>
void powOneAndHalfFast(double x, double* hi, double* lo) {
    powOneAndHalfFastT<kFma>(x, hi, lo);
}
template void powOneAndHalfFast<false>(double, double*, double*);
template void powOneAndHalfFast<true>(double, double*, double*);

double powOneAndHalfExact(double x) {
    int ex;
    auto mx = static_cast<uint64_t>(std::ldexp(std::frexp(x, &ex), 53));
    // x^3 = mx^3 2^(3(ex-53)); split the exponent into an even part and 0 or 1.
    int e3 = 3 * (ex - 53);
    int extra = e3 & 1;
    return roundSqrtCube(mx, extra, (e3 - extra) / 2);
}

namespace {

template <bool kFma>
ZB_CR_INLINE double powOneAndHalfT(double x) {
    if (!(x > 0)) {
        if (x == 0) {
            return 0.0;  // pow(-0, 1.5) = +0
        }
        if (x == -HUGE_VAL) {
            return HUGE_VAL;  // pow(-inf, y) = +inf for y > 0 not an odd integer
        }
        return x < 0 ? (x - x) / (x - x) : x + x;  // NaN for finite x < 0, NaN stays NaN
    }
    if (x == HUGE_VAL) {
        return x;
    }
    if (x < 0x1p-600 || x > 0x1p600) {
        return powOneAndHalfExact(x);  // subnormal results, overflow
    }
    double hi, lo;
    powOneAndHalfFastT<kFma>(x, &hi, &lo);
    if (roundsSafely(hi, lo, kPowErr * hi)) {
        return hi;
    }
    return powOneAndHalfExact(x);
}

ZB_CR_FMA_TARGET double powOneAndHalfWithFma(double x) { return powOneAndHalfT<true>(x); }
[[gnu::noinline]] double powOneAndHalfPlain(double x) { return powOneAndHalfT<false>(x); }

}  // namespace
}  // namespace detail

ZB_CR_PURE double powOneAndHalf(double x) {
    return detail::cpuHasFma() ? detail::powOneAndHalfWithFma(x) : detail::powOneAndHalfPlain(x);
}

}  // namespace zb::cr
