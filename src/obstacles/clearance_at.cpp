#include <cmath>
#include <vector>

#include "core/hot.h"
#include "core/phases.h"
#include "math/lanes.h"
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

void addShape(ClearanceShapes& s, double ax, double ay, double ex, double ey, double reach) {
    s.ax.push_back(ax);
    s.ay.push_back(ay);
    s.ex.push_back(ex);
    s.ey.push_back(ey);
    s.lengthSquared.push_back(std::fma(ex, ex, ey * ey));
    s.reach.push_back(reach);
}

// The term of shape k, where its cheap bound does not already leave c as is.
void lowerBy(const ClearanceShapes& s, size_t k, double& c, double x, double y) {
    double dx = x - s.ax[k];
    double dy = y - s.ay[k];
    if (s.lengthSquared[k] != 0.0 || s.ex[k] != 0.0 || s.ey[k] != 0.0) {
        const double t = clampUnit(std::fma(dx, s.ex[k], dy * s.ey[k]) / s.lengthSquared[k]);
        dx = x - std::fma(s.ex[k], t, s.ax[k]);
        dy = y - std::fma(s.ey[k], t, s.ay[k]);
    }
    lowerTo(c, dx, dy, s.reach[k]);
}

}  // namespace

// Zibbers first, then obstacles; the sign of x - zibber is immaterial, hypot
// sees only magnitudes.
void gatherClearanceShapes(const World& world, ClearanceShapes& shapes) {
    for (std::vector<double>* field :
         {&shapes.ax, &shapes.ay, &shapes.ex, &shapes.ey, &shapes.lengthSquared, &shapes.reach}) {
        field->clear();
    }
    for (const Zibber& z : world.zibbers) {
        if (z.alive == 1) addShape(shapes, z.x, z.y, 0.0, 0.0, z.radius);
    }
    for (const Obstacle& o : world.obstacles) {
        // A disc's end is its centre; a zero-length segment is one too.
        const double ex = o.isCircle == 1 ? 0.0 : o.bx - o.ax;
        const double ey = o.isCircle == 1 ? 0.0 : o.by - o.ay;
        addShape(shapes, o.ax, o.ay, ex, ey, obstacleReach(o));
    }
    while (shapes.ax.size() % 4 != 0) addShape(shapes, 0.0, 0.0, 0.0, 0.0, -HUGE_VAL);
    shapes.ruler = 0;
}

// The clearance is the least of its terms, ignoring NaN ones, so their order
// does not matter and the search may stop once it is at or below the floor:
// the spot can no longer beat the best one found. A shape's term is never
// below its cheap bound, max(|dx|, |dy|) - reach, so four shapes are bounded
// at once and only those whose bound is below the clearance so far get their
// term. For a disc the segment's projection gives the centre itself, or a
// zero of the other sign, which hypot does not see. The rim's own term waits
// until the shapes are through, standing in meanwhile by a bound at least as
// large (pruning against it is safe, only a little less sharp): most spots
// are ruled out by a shape first and never need the rim's hypot.
ZB_HOT double clearanceAbove(const World& world, ClearanceShapes& shapes, double x, double y, double floor,
                             double rimAtMost) {
    // The rim term is at most mapSize - max(|x|, |y|), for the same reason.
    const double rimBound = world.mapSize - largerOf(std::fabs(x), std::fabs(y));
    if (rimBound <= floor) return rimBound;
    double c = rimAtMost < rimBound ? rimAtMost : rimBound;
    // A few large shapes rule out most spots: the last one to do so goes first.
    if (shapes.ruler < shapes.ax.size()) lowerBy(shapes, shapes.ruler, c, x, y);
    if (c <= floor) return c;
    using namespace cr::detail;
    const Vec4 vx = splat(x);
    const Vec4 vy = splat(y);
    for (size_t k = 0; k < shapes.ax.size(); k += 4) {
        const Vec4 ax = load4(&shapes.ax[k]);
        const Vec4 ay = load4(&shapes.ay[k]);
        const Vec4 ex = load4(&shapes.ex[k]);
        const Vec4 ey = load4(&shapes.ey[k]);
        Vec4 t = fma4(vx - ax, ex, (vy - ay) * ey) / load4(&shapes.lengthSquared[k]);
        t = t < splat(1.0) ? t : splat(1.0);  // NaN too, as clampUnit
        t = t > splat(0.0) ? t : splat(0.0);
        const Vec4 dx = abs4(vx - fma4(ex, t, ax));
        const Vec4 dy = abs4(vy - fma4(ey, t, ay));
        const Vec4 big = ((dx > dy) | (dy != dy)) ? dx : dy;  // largerOf
        const Mask4 bounded = big - load4(&shapes.reach[k]) >= splat(c);
        if ((bounded[0] & bounded[1] & bounded[2] & bounded[3]) != 0) continue;
        for (size_t lane = 0; lane < 4; ++lane) {
            if (bounded[lane] != 0) continue;
            lowerBy(shapes, k + lane, c, x, y);
            if (c <= floor) {
                shapes.ruler = k + lane;
                return c;
            }
        }
    }
    // A NaN rim term leaves NaN, as when it came first.
    const double rim = world.mapSize - fm::hypot(x, y);
    return rim >= c ? c : rim;
}

double clearanceAt(const World& world, double x, double y) {
    ClearanceShapes shapes;
    gatherClearanceShapes(world, shapes);
    return clearanceAbove(world, shapes, x, y, std::nan(""));
}

}  // namespace zb
