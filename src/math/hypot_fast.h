// The fast path of the correctly rounded hypot, in a header so that the
// hottest callers can have it inline and call the library only for the rare
// arguments it cannot settle.
#pragma once

#include <cmath>
#include <cstdint>

#include "math/dd.h"

namespace zb::cr::detail {

// RN(sqrt(ax^2 + ay^2)) for ax >= ay with both in [2^-400, 2^300], or -1
// when the result is too close to halfway between two doubles to tell here.
// r = RN(sqrt(RN(S))) is the answer or a neighbour; which one follows from
// rho = S - r^2 (exact to 2^-104 S): the halfway points r +- u/2 sit at
// rho = +-r u + u^2/4, and r -+ 3u/2 at +-3 r u + 9u^2/4.
template <bool kFma>
ZB_CR_INLINE double hypotFastT(double ax, double ay) {
    double a, ae, b, be, s, se;
    twoProd<kFma>(ax, ax, &a, &ae);
    twoProd<kFma>(ay, ay, &b, &be);
    fastTwoSum(a, b, &s, &se);
    double r = std::sqrt(s);
    double p, pe;
    twoProd<kFma>(r, r, &p, &pe);
    double rho = ((s - p) - pe) + ((se + ae) + be);  // s - p is exact
    uint64_t rb = bitsOf(r);
    // Margins of 2^-20 r u dwarf both u^2/4 and the error of rho.
    constexpr double kIn = 1 - 0x1p-20;
    constexpr double kOut = 1 + 0x1p-20;
    double ulp = fromBits(rb & 0x7ff0000000000000ull) * 0x1p-52;  // r normal here
    double up = r * ulp;                                          // exact
    // Below a power of two the ulp halves; such r (rare) take the longer test.
    if (__builtin_expect(std::fabs(rho) < up * kIn && (rb & 0x000fffffffffffffull) != 0, 1)) {
        return r;
    }
    double ulpBelow = (rb & 0x000fffffffffffffull) == 0 ? 0.5 * ulp : ulp;
    double down = r * ulpBelow;
    if (rho < up * kIn && rho > -down * kIn) {
        return r;
    }
    if (rho > up * kOut && rho < 3 * up * kIn) {
        return r + ulp;
    }
    if (rho < -down * kOut && rho > -3 * down * kIn) {
        return r - ulpBelow;
    }
    return -1.0;
}

}  // namespace zb::cr::detail
