// hypot. Fast path: x^2 + y^2 exactly as a double-double (after scaling by a
// power of two far from the edges of the range), its square root by one
// correction of sqrt(head); about 2^-103 relative. Results that are exact or
// halfway between doubles fail the rounding test and go to integer arithmetic.
#include <cmath>
#include <cstdint>

#include "math/correctly_rounded.h"
#include "math/dd.h"
#include "math/exact_sqrt.h"
#include "math/internal.h"

namespace zb::cr {
namespace detail {
namespace {

constexpr uint64_t kInfBits = 0x7ff0000000000000ull;
constexpr double kHypotErr = 0x1p-98;

// Exponent fields differ by more than 27, so |y| < |x| 2^-27 and hypot rounds to |x|.
bool negligible(uint64_t ux, uint64_t uy) {
    int ex = static_cast<int>(ux >> 52);
    int ey = static_cast<int>(uy >> 52);
    return ex - (ey < 1 ? 1 : ey) > 27;
}

}  // namespace

// sqrt(ax^2 + ay^2) as hi + lo, for ax >= ay with both in [2^-400, 2^300]:
// the squares exactly, their sum to 2^-104, one correction of sqrt(head).
template <bool kFma>
ZB_CR_INLINE void hypotFastT(double ax, double ay, double* hi, double* lo) {
    double a, ae, b, be, s, se, sh, sl;
    twoProd<kFma>(ax, ax, &a, &ae);
    twoProd<kFma>(ay, ay, &b, &be);
    fastTwoSum(a, b, &s, &se);
    fastTwoSum(s, se + ae + be, &sh, &sl);
    double r = std::sqrt(sh);
    double p, pe;
    twoProd<kFma>(r, r, &p, &pe);
    *hi = r;
    *lo = ((sh - p) - pe + sl) / (2 * r);
}

template <bool kFma>
void hypotFast(double ax, double ay, double* hi, double* lo) {
    hypotFastT<kFma>(ax, ay, hi, lo);
}
template void hypotFast<false>(double, double, double*, double*);
template void hypotFast<true>(double, double, double*, double*);

double hypotExact(double x, double y) {
    double ax = x < 0 ? -x : x;
    double ay = y < 0 ? -y : y;
    if (ax < ay) {
        double t = ax;
        ax = ay;
        ay = t;
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
    uint64_t ux = bitsOf(x) & ~(uint64_t{1} << 63);
    uint64_t uy = bitsOf(y) & ~(uint64_t{1} << 63);
    if (ux == kInfBits || uy == kInfBits) {
        return HUGE_VAL;  // even if the other is NaN
    }
    if (ux > kInfBits || uy > kInfBits) {
        return x + y;
    }
    if (ux < uy) {
        uint64_t t = ux;
        ux = uy;
        uy = t;
    }
    double ax = fromBits(ux);
    double ay = fromBits(uy);
    if (uy == 0 || negligible(ux, uy)) {
        return ax;
    }
    // Bring both into [2^-400, 2^300] so the squares and their error terms
    // are normal; the scaling back is exact unless the result overflows,
    // which then is the right answer.
    double scale = 1.0;
    if (ax > 0x1p300) {
        ax *= 0x1p-600;
        ay *= 0x1p-600;
        scale = 0x1p600;
    } else if (ay < 0x1p-300) {
        if (ax < 0x1p-1000) {
            return hypotExact(ax, ay);  // the result may be subnormal
        }
        ax *= 0x1p600;
        ay *= 0x1p600;
        scale = 0x1p-600;
    }
    double hi, lo, res;
    hypotFastT<kFma>(ax, ay, &hi, &lo);
    if (roundsSafely(hi, lo, kHypotErr * hi, &res)) {
        return res * scale;
    }
    return hypotExact(x, y);
}

ZB_CR_FMA_TARGET double hypotWithFma(double x, double y) { return hypotT<true>(x, y); }
double hypotPlain(double x, double y) { return hypotT<false>(x, y); }

}  // namespace
}  // namespace detail

double hypot(double x, double y) {
    return detail::cpuHasFma() ? detail::hypotWithFma(x, y) : detail::hypotPlain(x, y);
}

}  // namespace zb::cr
