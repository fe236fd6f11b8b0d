#include <cmath>

#include "core/hot.h"
#include "core/phases.h"
#include "core/random_disc.h"
#include "math/step_math.h"

namespace zb {
namespace {

constexpr int kCandidates = 1000;

// A spot at distance d from the centre is at least d (1 - 2^-52) away once its
// rounded sine and cosine have scaled d (each rounding loses at most 2^-53),
// so its rim term is at most mapSize - d (1 - 2^-50). Tiny distances, where
// the rounding of the offset is not relative, get no such bound.
double rimAtMost(const World& world, double dist) {
    return dist >= 0x1p-900 && dist < HUGE_VAL ? world.mapSize - dist * (1.0 - 0x1p-50) : HUGE_VAL;
}

bool rimRulesOut(const World& world, double dist, double best) { return rimAtMost(world, dist) <= best; }

// Candidates are drawn a batch at a time, and the sines and cosines of those
// the rim does not already turn down (by the best spot before the batch) are
// taken four at a time; the rim test is made again with the best so far.
constexpr int kBatch = 40;

// The freest of the candidate spots; ties go to the earliest, and with every
// candidate at -1 or worse the obstacle lands on the centre. A candidate is
// dropped as soon as it cannot beat the best so far, which changes no choice.
template <bool kFma>
Offset freestSpot(World& world) {
    ClearanceShapes& shapes = world.scratch.shapes;
    gatherClearanceShapes(world, shapes);
    double best = -1.0;
    Offset spot{0.0, 0.0};
    DiscDraw draws[kBatch];
    int open[kBatch];  // the draws the rim left, in order
    double angles[kBatch + 3];
    double sin[kBatch + 3];
    double cos[kBatch + 3];
    static_assert(kCandidates % kBatch == 0);
    for (int first = 0; first < kCandidates; first += kBatch) {
        int opened = 0;
        for (int i = 0; i < kBatch; ++i) {
            draws[i] = drawDisc(world, world.mapSize);
            if (rimRulesOut(world, draws[i].dist, best)) continue;
            angles[opened] = discAngle(draws[i]);
            open[opened++] = i;
        }
        fm::sinCosBatch<kFma>(angles, opened, sin, cos);
        for (int k = 0; k < opened; ++k) {
            const DiscDraw& draw = draws[open[k]];
            if (rimRulesOut(world, draw.dist, best)) continue;
            const Offset o = discOffset(draw, sin[k], cos[k]);
            const double c = clearanceAbove(world, shapes, o.x, o.y, best, rimAtMost(world, draw.dist));
            if (c > best) {
                best = c;
                spot = o;
            }
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
    const Offset spot = fm::fmaPath() ? freestSpot<true>(world) : freestSpot<false>(world);
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
