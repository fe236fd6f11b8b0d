// How far an obstacle reaches, shared by the contact phase and the spawner's
// clearance so both see the same shape.
#pragma once

#include <cmath>

#include "core/records.h"

namespace zb {

// A harmless obstacle swells by up to 0.4 just after its charge passes a
// whole number and shrinks back as the charge grows.
inline double obstacleReach(const Obstacle& o) {
    if (o.hazard == 1) return o.radius;
    const double frac = o.charge - std::trunc(o.charge);
    return std::fma(1.0 - frac, 0.4, o.radius);
}

// fmax(fmin(t, 1), 0), which compilers leave as two library calls. Inside
// the interval it is t itself, from 1 up (and NaN, which fmin drops) it is 1,
// below 0 it is +0; zeros of either sign still go to the library, whose sign
// of zero is the platform's.
inline double clampUnit(double t) {
    if (t > 0.0 && t < 1.0) return t;
    if (t >= 1.0 || t != t) return 1.0;
    if (t < 0.0) return 0.0;
    return std::fmax(std::fmin(t, 1.0), 0.0);
}

// Parameter in [0, 1] of the point of segment A + t * (ex, ey) nearest to
// (x, y); a zero-length segment gives 1.
inline double segmentParam(const Obstacle& o, double ex, double ey, double x, double y) {
    return clampUnit(std::fma(x - o.ax, ex, (y - o.ay) * ey) / std::fma(ex, ex, ey * ey));
}

}  // namespace zb
