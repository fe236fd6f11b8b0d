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

// The draws alone, so a caller can turn down a spot by its distance before
// paying for the angle's sine and cosine.
struct DiscDraw {
    double turn;  // fraction of a full turn
    double dist;
};

inline DiscDraw drawDisc(World& world, double rho) {
    const double u1 = uniform(world);
    const double u2 = uniform(world);
    const double u3 = uniform(world);
    return {u1, rho * (u2 < u3 ? u3 : u2)};
}

inline double discAngle(DiscDraw draw) { return draw.turn * kTwoPi; }

// With the angle's sine and cosine already taken (several at a time, say).
inline Offset discOffset(DiscDraw draw, double sin, double cos) { return {cos * draw.dist, sin * draw.dist}; }

inline Offset discOffset(DiscDraw draw) {
    const fm::SinCos sc = fm::sinCos(discAngle(draw));
    return discOffset(draw, sc.s, sc.c);
}

inline Offset randomDiscOffset(World& world, double rho) { return discOffset(drawDisc(world, rho)); }

}  // namespace zb
