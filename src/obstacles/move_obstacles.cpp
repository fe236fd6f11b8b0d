#include <cmath>

#include "core/hot.h"
#include "core/phases.h"
#include "math/step_math.h"
#include "obstacles/obstacle_shape.h"

namespace zb {
namespace {

// The linear turn keeps the midpoint and lengthens the segment slightly.
void spinSegment(Obstacle& o) {
    const double w = o.spin;
    const double p = (o.ax - o.bx) * w;
    const double q = w * (o.ay - o.by);
    o.ax = o.ax - q;
    o.ay = o.ay + p;
    o.bx = o.bx + q;
    o.by = o.by - p;
}

// Distance from the arena centre to the obstacle's nearest edge.
double innerEdgeDistance(const Obstacle& o) {
    double nx = o.ax;
    double ny = o.ay;
    if (o.isCircle != 1) {
        const double dx = o.bx - o.ax;
        const double dy = o.by - o.ay;
        // A zero-length segment gives 1.
        const double t = clampUnit(std::fma(-o.ax, dx, (-o.ay) * dy) / std::fma(dx, dx, dy * dy));
        nx = std::fma(dx, t, o.ax);
        ny = std::fma(dy, t, o.ay);
    }
    return fm::hypot(-nx, -ny) - o.radius;
}

void driftAndCull(World& world) {
    const double limit = world.mapSize + 2.0;
    size_t kept = 0;
    for (size_t i = 0; i < world.obstacles.size(); ++i) {
        Obstacle o = world.obstacles[i];
        o.charge = o.chargeRate + o.charge;
        if (o.isCircle != 1) spinSegment(o);
        if (innerEdgeDistance(o) > limit) {
            releaseId(world.obstacleIds, o.id);
        } else {
            world.obstacles[kept++] = o;
        }
    }
    world.obstacles.resize(kept);
}

// Every ordered pair pushes, with no cut-off, so obstacles spread out; moves
// take effect at once for the later pairs.
void repel(World& world) {
    std::vector<Obstacle>& obs = world.obstacles;
    for (size_t i = 0; i < obs.size(); ++i) {
        Obstacle& a = obs[i];
        for (size_t j = 0; j < obs.size(); ++j) {
            if (j == i) continue;
            const double dx = a.ax - obs[j].ax;
            const double dy = a.ay - obs[j].ay;
            const double d2 = std::fma(dx, dx, dy * dy);
            if (d2 == 0.0) continue;
            const double sx = dx / d2;
            const double sy = dy / d2;
            a.ax = std::fma(0.2, sx, a.ax);
            a.ay = std::fma(0.2, sy, a.ay);
            a.bx = std::fma(0.2, sx, a.bx);
            a.by = std::fma(0.2, sy, a.by);
        }
    }
}

}  // namespace

ZB_HOT void moveObstacles(World& world) {
    driftAndCull(world);
    repel(world);
}

}  // namespace zb
