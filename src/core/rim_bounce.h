// The arena wall for zibbers and rubies alike: a body beyond `limit` from the
// centre is set back onto that circle and sent inward at the wall speed. The
// velocity is replaced, not reflected, so every hit sends it back the same way.
#pragma once

#include <cmath>

#include "core/tuning.h"
#include "math/step_math.h"

namespace zb {

struct RimHit {
    bool hit;
    double nx;  // outward unit normal at the hit
    double ny;
};

inline RimHit bounceOffRim(double& x, double& y, double& vx, double& vy, double limit) {
    if (!(std::fma(x, x, y * y) > limit * limit)) return {false, 0.0, 0.0};
    const double len = fm::hypot(x, y);
    const double nx = x / len;
    const double ny = y / len;
    x = nx * limit;
    y = ny * limit;
    vx = nx * (-kWallBounceSpeed);
    vy = ny * (-kWallBounceSpeed);
    return {true, nx, ny};
}

}  // namespace zb
