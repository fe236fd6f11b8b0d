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

// An obstacle's ends while it is being pushed, kept in registers.
struct Mover {
    double ax;
    double ay;
    double bx;
    double by;
};

Mover moverOf(const Obstacle& o) { return {o.ax, o.ay, o.bx, o.by}; }

void place(Obstacle& o, const Mover& m) {
    o.ax = m.ax;
    o.ay = m.ay;
    o.bx = m.bx;
    o.by = m.by;
}

void pushBy(Mover& m, const Obstacle& other) {
    const double dx = m.ax - other.ax;
    const double dy = m.ay - other.ay;
    const double d2 = std::fma(dx, dx, dy * dy);
    if (d2 == 0.0) return;
    const double sx = dx / d2;
    const double sy = dy / d2;
    m.ax = std::fma(0.2, sx, m.ax);
    m.ay = std::fma(0.2, sy, m.ay);
    m.bx = std::fma(0.2, sx, m.bx);
    m.by = std::fma(0.2, sy, m.by);
}

// The obstacle at i, or a copy of the one at 0 past the end, never placed.
Mover moverAt(const std::vector<Obstacle>& obs, size_t i) { return moverOf(obs[i < obs.size() ? i : 0]); }

// Every ordered pair pushes, with no cut-off, so obstacles spread out; moves
// take effect at once for the later pairs. Each push waits for the one before
// (a division deep). An obstacle is pushed first by those before it, all in
// their final place, then by those after it, still where they were; only the
// second part waits for the obstacle before it to be final. So obstacles go
// two at a time, and while the two take their second parts one after the
// other, the next two take their first parts by the obstacles already final,
// chains side by side, each in the same order as one at a time.
void repel(World& world) {
    std::vector<Obstacle>& obs = world.obstacles;
    const size_t n = obs.size();
    if (n == 0) return;
    Mover first = moverAt(obs, 0);
    Mover second = moverAt(obs, 1);
    size_t done = 0;  // both have been pushed by the obstacles before this one
    for (size_t i = 0; i < n; i += 2) {
        for (; done < i; ++done) {
            pushBy(first, obs[done]);
            pushBy(second, obs[done]);
        }
        Mover nextFirst = moverAt(obs, i + 2);
        Mover nextSecond = moverAt(obs, i + 3);
        size_t nextDone = 0;
        const auto pushNext = [&] {
            if (nextDone >= i) return;
            pushBy(nextFirst, obs[nextDone]);
            pushBy(nextSecond, obs[nextDone]);
            ++nextDone;
        };
        for (size_t j = i + 1; j < n; ++j) {
            pushBy(first, obs[j]);
            pushNext();
        }
        place(obs[i], first);
        if (i + 1 < n) {
            pushBy(second, obs[i]);
            for (size_t j = i + 2; j < n; ++j) {
                pushBy(second, obs[j]);
                pushNext();
            }
            place(obs[i + 1], second);
        }
        first = nextFirst;
        second = nextSecond;
        done = nextDone;
    }
}

}  // namespace

ZB_HOT void moveObstacles(World& world) {
    driftAndCull(world);
    repel(world);
}

}  // namespace zb
