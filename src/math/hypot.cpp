// hypot. Fast path: x^2 + y^2 exactly as a double-double (after scaling by a
// power of two far from the edges of the range), the rounded square root of
// its head, and a choice between it and its neighbours from the exact
// residual. Results exactly halfway between doubles, or within 2^-20 of an
// ulp of it, go to integer arithmetic.
#include <cmath>
#include <cstdint>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/exact_sqrt.h"
#include "math/hypot_fast.h"
#include "math/internal.h"

namespace zb::cr {
namespace detail {
namespace {

// Exponent fields differ by more than 27, so |y| < |x| 2^-27 and hypot rounds to |x|.
bool negligible(uint64_t ux, uint64_t uy) {
    int ex = static_cast<int>(ux >> 52);
    int ey = static_cast<int>(uy >> 52);
    return ex - (ey < 1 ? 1 : ey) > 27;
}

}  // namespace

template <bool kFma>
double hypotFast(double ax, double ay) {
    return hypotFastT<kFma>(ax, ay);
}
template double hypotFast<false>(double, double);
template double hypotFast<true>(double, double);

double hypotExact(double x, double y) {
    double ax = x < 0 ? -x : x;
    double ay = y < 0 ? -y : y;
    // Order without a branch (the order of a random pair is unpredictable).
    const double big = ay > ax ? ay : ax;
    ay = ay > ax ? ax : ay;
    ax = big;
    // Infinities and NaNs never get here from hypot; answering them anyway
    // keeps the integer scaling below in range whatever the caller passes.
    if (!(ax < HUGE_VAL)) {
        return ax + ay;
    }
    if (ay == 0 || negligible(bitsOf(ax), bitsOf(ay))) {
        return ax;
    }
    int ex, ey;
    auto mx = static_cast<uint64_t>(std::ldexp(std::frexp(ax, &ex), 53));
    auto my = static_cast<uint64_t>(std::ldexp(std::frexp(ay, &ey), 53));
    if (ex - ey > 27) {
        return ax;  // |y| < |x| 2^-26: hypot rounds to |x| (subnormal y passes the field test)
    }
    // hypot^2 = mx^2 4^(ex-53) + my^2 4^(ey-53) = (mx^2 4^(ex-ey) + my^2) 4^(ey-53).
    return roundHypot(mx, my, ex - ey, ey - 53);
}

namespace {

template <bool kFma>
ZB_CR_INLINE double hypotT(double x, double y) {
    // Kept in floating-point registers: the value goes on to the result.
    double ax = std::fabs(x);
    double ay = std::fabs(y);
    if (__builtin_expect(!(ax + ay < HUGE_VAL), 0)) {  // an infinity, a NaN, or both huge
        if (ax == HUGE_VAL || ay == HUGE_VAL) {
            return HUGE_VAL;  // even if the other is NaN
        }
        if (ax != ax || ay != ay) {
            return x + y;
        }
    }
    // Order without a branch (the order of a random pair is unpredictable).
    const double big = ay > ax ? ay : ax;
    ay = ay > ax ? ax : ay;
    ax = big;
    // |y| < |x| 2^-27: hypot rounds to |x| (the increase is below 2^-55 |x|).
    if (ay * 0x1p27 < ax || ay == 0) {
        return ax;
    }
    // Bring both into [2^-400, 2^300] so the squares and their error terms
    // are normal; the scaling back is exact unless the result overflows,
    // which then is the right answer.
    if (__builtin_expect(ax <= 0x1p300 && ay >= 0x1p-300, 1)) {
        double res = hypotFastT<kFma>(ax, ay);
        if (__builtin_expect(res >= 0, 1)) {
            return res;
        }
        return hypotExact(x, y);
    }
    double scale;
    if (ax > 0x1p300) {
        ax *= 0x1p-600;
        ay *= 0x1p-600;
        scale = 0x1p600;
    } else {
        if (ax < 0x1p-1000) {
            return hypotExact(ax, ay);  // the result may be subnormal
        }
        ax *= 0x1p600;
        ay *= 0x1p600;
        scale = 0x1p-600;
    }
    double res = hypotFastT<kFma>(ax, ay);
    if (res >= 0) {
        return res * scale;
    }
    return hypotExact(x, y);
}

ZB_CR_FMA_TARGET double hypotWithFma(double x, double y) { return hypotT<true>(x, y); }
[[gnu::noinline]] double hypotPlain(double x, double y) { return hypotT<false>(x, y); }

}  // namespace
}  // namespace detail

ZB_CR_PURE double hypot(double x, double y) {
    return detail::cpuHasFma() ? detail::hypotWithFma(x, y) : detail::hypotPlain(x, y);
}

}  // namespace zb::cr
