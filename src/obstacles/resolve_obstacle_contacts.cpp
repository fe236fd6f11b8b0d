#include <zibber.h>

#include <cmath>

#include "core/hot.h"
#include "core/living.h"
#include "core/phases.h"
#include "core/tuning.h"
#include "math/lanes.h"
#include "math/step_math.h"
#include "obstacles/obstacle_shape.h"

namespace zb {
namespace {

struct Touch {
    double nx;  // unit normal from the obstacle toward the zibber
    double ny;
    double dist;
};

bool touchDisc(const Obstacle& o, const Zibber& z, double s, Touch& t) {
    const double dx = z.x - o.ax;
    const double dy = z.y - o.ay;
    if (std::fma(dx, dx, dy * dy) > s * s) return false;
    t.dist = fm::hypot(dx, dy);
    // A zibber exactly on the centre still needs a way out.
    t.nx = t.dist != 0.0 ? dx / t.dist : 1.0;
    t.ny = t.dist != 0.0 ? dy / t.dist : 0.0;
    return true;
}

bool touchSegment(const Obstacle& o, const Zibber& z, double s, Touch& t) {
    const double ex = o.bx - o.ax;
    const double ey = o.by - o.ay;
    const double u = segmentParam(o, ex, ey, z.x, z.y);
    const double dx = z.x - std::fma(ex, u, o.ax);
    const double dy = z.y - std::fma(ey, u, o.ay);
    if (std::fma(dx, dx, dy * dy) >= s * s) return false;
    t.dist = fm::hypot(dx, dy);
    if (t.dist < 1e-7) {
        // On the segment itself: out along its left-hand normal.
        const double len = fm::hypot(ex, ey);
        t.nx = len != 0.0 ? -ey / len : 1.0;
        t.ny = len != 0.0 ? ex / len : 0.0;
    } else {
        t.nx = dx / t.dist;
        t.ny = dy / t.dist;
    }
    return true;
}

void actOn(World& world, const Obstacle& o, Zibber& z, const Touch& t, double s) {
    if (o.hazard == 1) {
        world.particles.push_back(Particle{ZB_PARTICLE_SIZE_CHANGE, std::fma(-t.nx, z.radius, z.x),
                                           std::fma(-t.ny, z.radius, z.y), kObstacleGrowthRate * kDecayTime, -1, -1,
                                           -1});
        z.vx = t.nx * kObstacleBounceSpeed;
        z.vy = t.ny * kObstacleBounceSpeed;
        z.growthRate = z.growthRate + kObstacleGrowthRate;
    } else if (o.charge > 1.0) {
        z.vx = t.nx * kObstaclePulseBounceSpeed;
        z.vy = t.ny * kObstaclePulseBounceSpeed;
    }
    z.x = std::fma(t.nx, s - t.dist, z.x);
    z.y = std::fma(t.ny, s - t.dist, z.y);
}

// A zibber farther from a segment's bounding box than its reach, along x or
// y, cannot touch the segment: the full test would only confirm it. The margin
// dwarfs the rounding of both tests while every coordinate is within kNear of
// the origin (the arena lies well inside); beyond, pairs get the full test.
constexpr double kMargin = 1e-6;
constexpr double kNear = 1e4;

struct Box {
    double cx;
    double cy;
    double hx;  // half-widths plus the margin
    double hy;
    bool usable;
};

Box boxOf(const Obstacle& o) {
    const bool near =
        std::fabs(o.ax) < kNear && std::fabs(o.ay) < kNear && std::fabs(o.bx) < kNear && std::fabs(o.by) < kNear;
    return {(o.ax + o.bx) * 0.5, (o.ay + o.by) * 0.5, std::fabs(o.bx - o.ax) * 0.5 + kMargin,
            std::fabs(o.by - o.ay) * 0.5 + kMargin, near && o.isCircle != 1};
}

bool outside(const Box& b, const Zibber& z, double s) {
    return b.usable && std::fabs(z.x) < kNear && std::fabs(z.y) < kNear &&
           (std::fabs(z.x - b.cx) > b.hx + s || std::fabs(z.y - b.cy) > b.hy + s);
}

// An obstacle's figures for the lane tests, broadcast once per obstacle.
struct Lanes {
    cr::detail::Vec4 reach;
    cr::detail::Vec4 ax;
    cr::detail::Vec4 ay;
    cr::detail::Vec4 cx;
    cr::detail::Vec4 cy;
    cr::detail::Vec4 hx;
    cr::detail::Vec4 hy;
};

// Filled in place: no vector crosses a call where it is not inlined.
void setLanes(Lanes& l, const Obstacle& o, const Box& box, double reach) {
    using namespace cr::detail;
    l = {splat(reach), splat(o.ax), splat(o.ay), splat(box.cx), splat(box.cy), splat(box.hx), splat(box.hy)};
}

// The zibbers of the four lanes from m that may touch the obstacle: for a
// disc the distance test of touchDisc, for a segment the box test of outside,
// the same operations lane by lane; NaN leaves a lane in, to the full test.
// As lane bits, for the same reason.
unsigned mayTouch(const ZibberBodies& b, size_t m, const Obstacle& o, const Box& box, const Lanes& l) {
    using namespace cr::detail;
    const Vec4 x = load4(&b.x[m]);
    const Vec4 y = load4(&b.y[m]);
    const Vec4 s = l.reach + load4(&b.radius[m]);
    Mask4 out;
    if (o.isCircle == 1) {
        const Vec4 dx = x - l.ax;
        const Vec4 dy = y - l.ay;
        out = fma4(dx, dx, dy * dy) > s * s;
    } else {
        if (!box.usable) return 0xf;
        const Vec4 nearLimit = splat(kNear);
        const Mask4 nearOrigin = (abs4(x) < nearLimit) & (abs4(y) < nearLimit);
        out = nearOrigin & ((abs4(x - l.cx) > l.hx + s) | (abs4(y - l.cy) > l.hy + s));
    }
    unsigned bits = 0;
    for (unsigned lane = 0; lane < 4; ++lane) bits |= (out[lane] == 0 ? 1u : 0u) << lane;
    return bits;
}

}  // namespace

// Obstacle by obstacle, as a zibber's moves count for the next obstacle; the
// living zibbers are tested four at a time against each, on a compact copy
// kept current, and those that may touch get the full test in order.
ZB_HOT void resolveObstacleContacts(World& world) {
    const std::vector<uint32_t>& living = gatherLiving(world);
    ZibberBodies& b = world.scratch.bodies;
    const size_t n = living.size();
    const size_t padded = (n + 3) / 4 * 4;
    for (std::vector<double>* field : {&b.x, &b.y, &b.radius}) field->assign(padded, 0.0);
    for (size_t k = 0; k < n; ++k) {
        const Zibber& z = world.zibbers[living[k]];
        b.x[k] = z.x;
        b.y[k] = z.y;
        b.radius[k] = z.radius;
    }
    for (Obstacle& o : world.obstacles) {
        const double reach = obstacleReach(o);
        const Box box = boxOf(o);
        Lanes lanes;
        setLanes(lanes, o, box, reach);
        for (size_t m = 0; m < padded; m += 4) {
            const unsigned maybe = mayTouch(b, m, o, box, lanes);
            if (maybe == 0) continue;
            for (size_t k = m; k < m + 4 && k < n; ++k) {
                if ((maybe >> (k - m) & 1u) == 0) continue;
                Zibber& z = world.zibbers[living[k]];
                const double s = reach + z.radius;
                if (outside(box, z, s)) continue;
                Touch t;
                const bool touching = o.isCircle == 1 ? touchDisc(o, z, s, t) : touchSegment(o, z, s, t);
                if (!touching) continue;
                actOn(world, o, z, t, s);
                b.x[k] = z.x;
                b.y[k] = z.y;
            }
        }
        if (o.charge > 1.0) o.charge = o.charge + (-1.0);
    }
}

}  // namespace zb
