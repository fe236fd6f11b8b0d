// Angle helpers of the zibber update; headings live in [0, 2pi).
#pragma once

#include <cmath>

#include "core/random.h"

namespace zb {

// Adds 2pi only below 0.0, so -0.0 stays -0.0.
inline double wrapAngle(double a) {
    double r = std::fmod(a, kTwoPi);
    if (r < 0.0) r += kTwoPi;
    return r;
}

// Signed turn from a to b, in [-pi, pi).
inline double angleDelta(double a, double b) { return wrapAngle(b - a + kPi) + (-kPi); }

}  // namespace zb
