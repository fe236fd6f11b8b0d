#include <cmath>
#include "core/hot.h"

#include "core/phases.h"
#include "math/step_math.h"
#include "obstacles/obstacle_shape.h"

namespace zb {
namespace {

// hypot(dx, dy) - r when it could be below c; otherwise c itself. A rounded
// hypot is never below max(|dx|, |dy|) and rounding is monotone, so when
// max - r is already at least c the exact distance cannot win either, and the
// hypot, most of a spawn's cost, is skipped without changing any result.
double closerOf(double c, double dx, double dy, double r) {
    if (std::fmax(std::fabs(dx), std::fabs(dy)) - r >= c) return c;
    const double d = fm::hypot(dx, dy) - r;
    return d < c ? d : c;
}

}  // namespace

ZB_HOT double clearanceAt(const World& world, double x, double y) {
    double c = world.mapSize - fm::hypot(x, y);
    for (const Zibber& z : world.zibbers) {
        if (z.alive == 1) c = closerOf(c, z.x - x, z.y - y, z.radius);
    }
    for (const Obstacle& o : world.obstacles) {
        if (o.isCircle == 1) {
            c = closerOf(c, x - o.ax, y - o.ay, obstacleReach(o));
        } else {
            const double ex = o.bx - o.ax;
            const double ey = o.by - o.ay;
            const double t = segmentParam(o, ex, ey, x, y);
            c = closerOf(c, x - std::fma(ex, t, o.ax), y - std::fma(ey, t, o.ay), obstacleReach(o));
        }
    }
    return c;
}

}  // namespace zb
