#include <cmath>
#include <utility>
#include <vector>

#include "core/hot.h"
#include "core/phases.h"
#include "math/step_math.h"
#include "obstacles/obstacle_shape.h"

namespace zb {
namespace {

// fmax of two magnitudes, NaN ignored as fmax does, without a library call.
double largerOf(double a, double b) { return a > b || b != b ? a : b; }

// Lowers c to hypot(dx, dy) - r when that is below it. A rounded hypot is
// never below max(|dx|, |dy|) and rounding is monotone, so when max - r is
// already at least c the exact distance cannot win either, and the hypot,
// most of a spawn's cost, is skipped without changing any result.
void lowerTo(double& c, double dx, double dy, double r) {
    if (largerOf(std::fabs(dx), std::fabs(dy)) - r >= c) return;
    const double d = fm::hypot(dx, dy) - r;
    if (d < c) c = d;
}

}  // namespace

// Zibbers first, then obstacles, each term computed exactly as before; the
// sign of x - zibber is immaterial, hypot sees only magnitudes.
void gatherClearanceShapes(const World& world, std::vector<ClearanceShape>& shapes) {
    shapes.clear();
    for (const Zibber& z : world.zibbers) {
        if (z.alive == 1) shapes.push_back(ClearanceShape{z.x, z.y, 0.0, 0.0, 0.0, z.radius, 0});
    }
    for (const Obstacle& o : world.obstacles) {
        const double ex = o.bx - o.ax;
        const double ey = o.by - o.ay;
        const uint8_t isSegment = o.isCircle == 1 ? 0 : 1;
        shapes.push_back(ClearanceShape{o.ax, o.ay, ex, ey, std::fma(ex, ex, ey * ey), obstacleReach(o), isSegment});
    }
}

// The clearance is the least of its terms, ignoring NaN ones, so their order
// does not matter and the search may stop at the first term at or below the
// floor: the spot can no longer beat the best one found.
ZB_HOT double clearanceAbove(const World& world, std::vector<ClearanceShape>& shapes, double x, double y,
                             double floor) {
    // The rim term is at most mapSize - max(|x|, |y|), for the same reason.
    const double rimBound = world.mapSize - largerOf(std::fabs(x), std::fabs(y));
    if (rimBound <= floor) return rimBound;
    double c = world.mapSize - fm::hypot(x, y);
    for (size_t k = 0; k < shapes.size(); ++k) {
        if (c <= floor) {
            // The shape that ruled this spot out goes first for the next one:
            // a few large shapes rule out most spots.
            if (k > 1) std::swap(shapes[0], shapes[k - 1]);
            return c;
        }
        const ClearanceShape& s = shapes[k];
        if (s.isSegment == 0) {
            lowerTo(c, x - s.ax, y - s.ay, s.reach);
        } else {
            const double t = clampUnit(std::fma(x - s.ax, s.ex, (y - s.ay) * s.ey) / s.lengthSquared);
            lowerTo(c, x - std::fma(s.ex, t, s.ax), y - std::fma(s.ey, t, s.ay), s.reach);
        }
    }
    return c;
}

double clearanceAt(const World& world, double x, double y) {
    std::vector<ClearanceShape> shapes;
    gatherClearanceShapes(world, shapes);
    return clearanceAbove(world, shapes, x, y, std::nan(""));
}

}  // namespace zb
