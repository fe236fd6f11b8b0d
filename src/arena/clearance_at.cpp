#include "core/hot.h"
#include "arena/obstacle_shape.h"
#include "core/phases.h"
#include "math/step_math.h"

namespace zb {

ZB_HOT double clearanceAt(const World& world, double x, double y) {
    double c = world.mapSize - fm::hypot(x, y);
    for (const Zibber& z : world.zibbers) {
        if (z.alive != 1) continue;
        const double d = fm::hypot(z.x - x, z.y - y) - z.radius;
        if (d < c) c = d;
    }
    for (const Obstacle& o : world.obstacles) {
        double d;
        if (o.isCircle == 1) {
            d = fm::hypot(x - o.ax, y - o.ay);
        } else {
            const double ex = o.bx - o.ax;
            const double ey = o.by - o.ay;
            const double t = segmentParam(o, ex, ey, x, y);
            d = fm::hypot(x - std::fma(ex, t, o.ax), y - std::fma(ey, t, o.ay));
        }
        d = d - obstacleReach(o);
        if (d < c) c = d;
    }
    return c;
}

}  // namespace zb
