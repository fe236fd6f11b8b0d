// hypot's fast path (hypot_fast.h) four at a time, for the
// zibber sub-steps, whose velocities are all known before any speed is used.
#pragma once

#include <cstdint>

#include "math/dd.h"
#include "math/lanes.h"

namespace zb::cr::detail {

// Per lane, hypotFastT(ax, ay) for ax >= ay in [2^-400, 2^300] where it
// settles the result (nearly always): r is then the correctly rounded result
// and the lane's mask is set. The other lanes hold nothing of use.
template <bool kFma>
ZB_CR_INLINE Mask4 hypotFast4(Vec4 ax, Vec4 ay, Vec4* r) {
    Vec4 a, ae, b, be, s, se, p, pe;
    twoProd4<kFma>(ax, ax, &a, &ae);
    twoProd4<kFma>(ay, ay, &b, &be);
    fastTwoSum4(a, b, &s, &se);
    const Vec4 root = sqrt4(s);
    twoProd4<kFma>(root, root, &p, &pe);
    const Vec4 rho = ((s - p) - pe) + ((se + ae) + be);
    const Mask4 rb = reinterpret_cast<Mask4>(root);
    const Vec4 ulp = reinterpret_cast<Vec4>(rb & 0x7ff0000000000000) * splat(0x1p-52);
    const Vec4 up = root * ulp;
    const Vec4 in = splat(1 - 0x1p-20);
    const Vec4 out = splat(1 + 0x1p-20);
    // Below a power of two the ulp halves.
    const Vec4 ulpBelow = select4((rb & 0x000fffffffffffff) == 0, splat(0.5) * ulp, ulp);
    const Vec4 down = root * ulpBelow;
    const Mask4 keep = (rho < up * in) & (rho > -down * in);
    const Mask4 above = (rho > up * out) & (rho < splat(3.0) * up * in);
    const Mask4 below = (rho < -down * out) & (rho > -(splat(3.0) * down) * in);
    *r = select4(above, root + ulp, select4(below, root - ulpBelow, root));
    return keep | above | below;
}

}  // namespace zb::cr::detail
