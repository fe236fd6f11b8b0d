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
// take effect at once for the later pairs. Each push waits for the one before
// (a division deep), so the moving obstacle stays in registers: through
// memory every push would also wait for its own store.
void repel(World& world) {
    std::vector<Obstacle>& obs = world.obstacles;
    for (size_t i = 0; i < obs.size(); ++i) {
        double ax = obs[i].ax;
        double ay = obs[i].ay;
        double bx = obs[i].bx;
        double by = obs[i].by;
        for (size_t j = 0; j < obs.size(); ++j) {
            if (j == i) continue;
            const double dx = ax - obs[j].ax;
            const double dy = ay - obs[j].ay;
            const double d2 = std::fma(dx, dx, dy * dy);
            if (d2 == 0.0) continue;
            const double sx = dx / d2;
            const double sy = dy / d2;
            ax = std::fma(0.2, sx, ax);
            ay = std::fma(0.2, sy, ay);
            bx = std::fma(0.2, sx, bx);
            by = std::fma(0.2, sy, by);
        }
        obs[i].ax = ax;
        obs[i].ay = ay;
        obs[i].bx = bx;
        obs[i].by = by;
    }
}

}  // namespace

ZB_HOT void moveObstacles(World& world) {
    driftAndCull(world);
    repel(world);
}

}  // namespace zb
