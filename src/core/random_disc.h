// A uniform point in a disc of radius rho from three draws: angle, then the
// larger of two uniforms as the distance fraction (the density of the distance
// of a uniform point from the centre).
#pragma once

#include "core/world.h"
#include "math/step_math.h"

namespace zb {

struct Offset {
    double x;
    double y;
};

inline Offset randomDiscOffset(World& world, double rho) {
    const double u1 = uniform(world);
    const double u2 = uniform(world);
    const double u3 = uniform(world);
    const double d = rho * (u2 < u3 ? u3 : u2);
    const fm::SinCos sc = fm::sinCos(u1 * kTwoPi);
    return {sc.c * d, sc.s * d};
}

}  // namespace zb
