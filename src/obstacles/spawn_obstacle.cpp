#include <cmath>

#include "core/hot.h"
#include "core/phases.h"
#include "core/random_disc.h"
#include "math/step_math.h"

namespace zb {
namespace {

constexpr int kCandidates = 1000;

// The freest of the candidate spots; ties go to the earliest, and with every
// candidate at -1 or worse the obstacle lands on the centre.
Offset freestSpot(World& world) {
    double best = -1.0;
    Offset spot{0.0, 0.0};
    for (int i = 0; i < kCandidates; ++i) {
        const Offset o = randomDiscOffset(world, world.mapSize);
        const double c = clearanceAt(world, o.x, o.y);
        if (c > best) {
            best = c;
            spot = o;
        }
    }
    return spot;
}

void shapeSegment(World& world, Obstacle& o, Offset mid, double u) {
    const fm::SinCos sc = fm::sinCos(u * kTwoPi);
    const double half = std::fma(uniform(world), 2.5, 1.5);
    o.ax = std::fma(-sc.c, half, mid.x);
    o.bx = std::fma(sc.c, half, mid.x);
    o.ay = std::fma(-sc.s, half, mid.y);
    o.by = std::fma(sc.s, half, mid.y);
    o.radius = std::fma(uniform(world), 0.3, 0.5);
}

}  // namespace

ZB_HOT void spawnObstacle(World& world) {
    const Offset spot = freestSpot(world);
    // Without an id the draws are still made, so the match goes on the same.
    const auto id = takeId(world.obstacleIds);
    Obstacle o{};
    o.id = id.value_or(0);
    o.isCircle = uniform(world) < 0.5;
    const double u = uniform(world);
    if (o.isCircle) {
        o.radius = std::fma(u, 2.0, 2.0);
        o.ax = spot.x;
        o.ay = spot.y;
        o.bx = 0.0;
        o.by = 0.0;
    } else {
        shapeSegment(world, o, spot, u);
    }
    o.hazard = uniform(world) < 0.5;
    o.chargeRate = fm::powOneAndHalf(uniform(world)) * 0.1;
    const double s = fm::powOneAndHalf(uniform(world));
    o.spin = uniform(world) < 0.5 ? s * 0.01 : -(s * 0.01);
    o.charge = 0.0;
    if (id) world.obstacles.push_back(o);
}

}  // namespace zb
