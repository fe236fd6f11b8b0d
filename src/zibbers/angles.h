// Angle helpers of the zibber update; headings live in [0, 2pi).
#pragma once

#include <cmath>

#include "core/random.h"

namespace zb {

// fmod(a, 2pi), whose result is always exact. Headings and their differences
// stay within two turns, where one subtraction gives that exact result too
// (Sterbenz: a and 2pi are within a factor of two), and a library call per
// sub-step would cost more than the rest of the motion.
inline double modTwoPi(double a) {
    if (std::fabs(a) < kTwoPi) return a;
    if (a > kTwoPi && a < 2.0 * kTwoPi) return a - kTwoPi;
    if (a < -kTwoPi && a > -2.0 * kTwoPi) return a + kTwoPi;
    return std::fmod(a, kTwoPi);
}

// Adds 2pi only below 0.0, so -0.0 stays -0.0.
inline double wrapAngle(double a) {
    double r = modTwoPi(a);
    if (r < 0.0) r += kTwoPi;
    return r;
}

// wrapAngle for -2pi < a < 4pi, as the turn's sums are while the heading, the
// target and the turn are finite and the turn below pi: one comparison each
// way instead of four.
inline double wrapNear(double a) { return a >= kTwoPi ? a - kTwoPi : a < 0.0 ? a + kTwoPi : a; }

// Signed turn from a to b, in [-pi, pi).
inline double angleDelta(double a, double b) { return wrapAngle(b - a + kPi) + (-kPi); }

}  // namespace zb
