#include "env/observe.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace zbenv {

namespace {

using zbhost::Snapshot;

// Far above the few ulps between a square root and hypot at arena distances.
constexpr double kGapSlack = 1e-9;

// The observer's heading frame: "forward" along its heading, "left" 90
// degrees to its left. Products and sums stay separate (no fma) so the
// values match a plain double evaluation.
struct Frame {
    double x, y, c, s, invScale;

    double forward(double dx, double dy) const { return c * dx + s * dy; }
    double left(double dx, double dy) const { return c * dy - s * dx; }
};

// (a + pi) mod 2 pi - pi, the remainder taking the sign of the divisor.
double wrapPi(double a) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    double mod = std::fmod(a + std::numbers::pi, kTwoPi);
    if (mod != 0.0) {
        if (mod < 0.0) mod += kTwoPi;
    } else {
        mod = 0.0;
    }
    return mod - std::numbers::pi;
}

double flag(bool b) { return b ? 1.0 : 0.0; }

// Writes `values` and zero-fills the rest of a block of k slots.
struct BlockWriter {
    float* out;
    int32_t features;
    int32_t slots;
    int32_t used = 0;

    template <typename... Values>
    void slot(Values... values) {
        float* row = out + static_cast<std::ptrdiff_t>(used++) * features;
        ((*row++ = static_cast<float>(static_cast<double>(values))), ...);
    }
    float* finish() {
        std::fill(out + static_cast<std::ptrdiff_t>(used) * features,
                  out + static_cast<std::ptrdiff_t>(slots) * features, 0.0f);
        return out + static_cast<std::ptrdiff_t>(slots) * features;
    }
};

float* writeOwn(const Snapshot& s, const double* me, const Frame& f, double scale, float* out) {
    const double x = me[ZB_ZIBBER_X], y = me[ZB_ZIBBER_Y], r = me[ZB_ZIBBER_RADIUS];
    const double charge = me[ZB_ZIBBER_CHARGE_TICKS];
    const double kind = me[ZB_ZIBBER_KIND];
    const double vx = me[ZB_ZIBBER_VX], vy = me[ZB_ZIBBER_VY];
    double own[ENV_OWN_FEATURES] = {
        r / ZB_BURST_RADIUS,
        me[ZB_ZIBBER_GROWTH_RATE] * 10.0,
        f.forward(vx, vy),
        f.left(vx, vy),
        flag(charge >= 0),
        std::max(charge, 0.0) / ZB_SHOT_CHARGE,
        me[ZB_ZIBBER_STUN_TICKS] / ZB_STUN_TICKS,
        flag(kind == 0),
        flag(kind == 1),
        flag(kind == 2),
        flag(kind == 3),
        (s.mapSize - std::hypot(x, y) - r) / scale,
        f.forward(-x, -y) / scale,
        f.left(-x, -y) / scale,
        s.mapSize / ZB_START_MAP_SIZE,
        me[ZB_ZIBBER_SCORE] / 100.0,
        static_cast<double>(s.tick) / 1000.0,
        wrapPi(me[ZB_ZIBBER_TARGET_HEADING] - me[ZB_ZIBBER_HEADING]) / std::numbers::pi,
    };
    for (double v : own) *out++ = static_cast<float>(v);
    return out;
}

float* writeNeighbours(const Snapshot& s, const double* me, const Frame& f, int32_t k, const NearestK& nearest,
                       float* out) {
    BlockWriter block{out, ENV_ZIBBER_FEATURES, k};
    for (const Candidate& c : nearest) {
        const double* o = zbhost::zibberAt(s, c.index);
        double dx = o[ZB_ZIBBER_X] - f.x, dy = o[ZB_ZIBBER_Y] - f.y;
        double rel = o[ZB_ZIBBER_HEADING] - me[ZB_ZIBBER_HEADING];
        double gap = std::hypot(dx, dy) - o[ZB_ZIBBER_RADIUS] - me[ZB_ZIBBER_RADIUS];
        block.slot(1.0, f.forward(dx, dy) * f.invScale, f.left(dx, dy) * f.invScale, gap * f.invScale,
                   f.forward(o[ZB_ZIBBER_VX], o[ZB_ZIBBER_VY]), f.left(o[ZB_ZIBBER_VX], o[ZB_ZIBBER_VY]), std::cos(rel),
                   std::sin(rel), o[ZB_ZIBBER_RADIUS] / ZB_BURST_RADIUS, flag(o[ZB_ZIBBER_CHARGE_TICKS] >= 0),
                   flag(o[ZB_ZIBBER_STUN_TICKS] > 0));
    }
    return block.finish();
}

// Rivals, then mates, sorted out in one pass over the zibbers.
float* writeZibbers(const Snapshot& s, const int32_t* teamOf, int32_t i, const Frame& f, const ObsLayout& layout,
                    ObserveScratch& scratch, float* out) {
    NearestK& rivals = scratch.nearest;
    NearestK& mates = scratch.mates;
    rivals.clear(layout.rivals);
    mates.clear(layout.mates);
    for (int32_t j = 0; j < s.numZibbers; ++j) {
        const double* o = zbhost::zibberAt(s, j);
        if (j == i || o[ZB_ZIBBER_ALIVE] != 1.0) continue;
        double dx = o[ZB_ZIBBER_X] - f.x, dy = o[ZB_ZIBBER_Y] - f.y;
        (teamOf[j] == teamOf[i] ? mates : rivals).offer(dx * dx + dy * dy, j);
    }
    const double* me = zbhost::zibberAt(s, i);
    out = writeNeighbours(s, me, f, layout.rivals, rivals, out);
    return writeNeighbours(s, me, f, layout.mates, mates, out);
}

float* writePoints(const PointMirror& points, double& reach, const Frame& f, int32_t k, NearestK& nearest, float* out) {
    nearestPoints(points, f.x, f.y, k, reach, nearest);
    BlockWriter block{out, ENV_POINT_FEATURES, k};
    for (const Candidate& c : nearest) {
        const MirrorPoint p = pointAt(points, c.index);
        double dx = p.x - f.x, dy = p.y - f.y;
        block.slot(1.0, f.forward(dx, dy) * f.invScale, f.left(dx, dy) * f.invScale);
    }
    return block.finish();
}

float* writeRubys(const Snapshot& s, const Frame& f, int32_t k, NearestK& nearest, float* out) {
    nearest.clear(k);
    for (int32_t j = 0; j < s.numRubys; ++j) {
        const double* r = s.rubys.data() + static_cast<std::ptrdiff_t>(j) * ZB_RUBY_WIDTH;
        double dx = r[ZB_RUBY_X] - f.x, dy = r[ZB_RUBY_Y] - f.y;
        nearest.offer(dx * dx + dy * dy, j);
    }
    BlockWriter block{out, ENV_RUBY_FEATURES, k};
    for (const Candidate& c : nearest) {
        const double* r = s.rubys.data() + static_cast<std::ptrdiff_t>(c.index) * ZB_RUBY_WIDTH;
        double dx = r[ZB_RUBY_X] - f.x, dy = r[ZB_RUBY_Y] - f.y;
        block.slot(1.0, f.forward(dx, dy) * f.invScale, f.left(dx, dy) * f.invScale,
                   r[ZB_RUBY_SCALE] * r[ZB_RUBY_REMAINING], flag(r[ZB_RUBY_COOLDOWN] <= 0));
    }
    return block.finish();
}

// The offset from the observer to the nearest point of an obstacle's centre
// line (a disc's centre, or the closest point of a segment).
[[gnu::always_inline]] inline void obstacleOffset(const ObstacleLine& o, const Frame& f, double& dx, double& dy) {
    double t = 0.0;
    if (!o.circle) {
        t = ((f.x - o.ax) * o.ex + (f.y - o.ay) * o.ey) / o.length2;
        t = t > 0.0 ? t : 0.0;
        t = t < 1.0 ? t : 1.0;
    }
    dx = o.ax + o.ex * t - f.x;
    dy = o.ay + o.ey * t - f.y;
}

float* writeObstacles(const Snapshot& s, const std::vector<ObstacleLine>& lines, const double* me, const Frame& f,
                      int32_t k, NearestK& nearest, float* out) {
    if (k == 0) return out;  // and nearest.worst() below has something to read
    nearest.clear(k);
    const double radius = me[ZB_ZIBBER_RADIUS];
    for (int32_t j = 0; j < static_cast<int32_t>(lines.size()); ++j) {
        const ObstacleLine& o = lines[static_cast<size_t>(j)];
        double dx, dy;
        obstacleOffset(o, f, dx, dy);
        // hypot only where it can matter: the square root is within an ulp or two of it.
        if (nearest.full() && std::sqrt(dx * dx + dy * dy) - o.radius - radius - kGapSlack > nearest.worst().key)
            continue;
        nearest.offer(std::hypot(dx, dy) - o.radius - radius, j);
    }
    BlockWriter block{out, ENV_OBSTACLE_FEATURES, k};
    for (const Candidate& c : nearest) {
        const double* o = s.obstacles.data() + static_cast<std::ptrdiff_t>(c.index) * ZB_OBSTACLE_WIDTH;
        double dx, dy;
        obstacleOffset(lines[static_cast<size_t>(c.index)], f, dx, dy);
        block.slot(1.0, f.forward(dx, dy) * f.invScale, f.left(dx, dy) * f.invScale, c.key * f.invScale,
                   o[ZB_OBSTACLE_HAZARD], o[ZB_OBSTACLE_RADIUS] / ZB_BURST_RADIUS);
    }
    return block.finish();
}

float* writeProjectiles(const Snapshot& s, const Frame& f, int32_t k, NearestK& nearest, float* out) {
    nearest.clear(k);
    for (int32_t j = 0; j < s.numProjectiles; ++j) {
        const double* p = s.projectiles.data() + static_cast<std::ptrdiff_t>(j) * ZB_PROJECTILE_WIDTH;
        if (p[ZB_PROJECTILE_REMOVED] != 0.0) continue;
        double dx = p[ZB_PROJECTILE_X] - f.x, dy = p[ZB_PROJECTILE_Y] - f.y;
        nearest.offer(dx * dx + dy * dy, j);
    }
    BlockWriter block{out, ENV_PROJECTILE_FEATURES, k};
    for (const Candidate& c : nearest) {
        const double* p = s.projectiles.data() + static_cast<std::ptrdiff_t>(c.index) * ZB_PROJECTILE_WIDTH;
        double dx = p[ZB_PROJECTILE_X] - f.x, dy = p[ZB_PROJECTILE_Y] - f.y;
        double vx = p[ZB_PROJECTILE_VX], vy = p[ZB_PROJECTILE_VY];
        block.slot(1.0, f.forward(dx, dy) * f.invScale, f.left(dx, dy) * f.invScale, f.forward(vx, vy), f.left(vx, vy));
    }
    return block.finish();
}

void lineUpObstacles(const Snapshot& s, std::vector<ObstacleLine>& lines) {
    lines.resize(static_cast<size_t>(s.numObstacles));
    for (int32_t j = 0; j < s.numObstacles; ++j) {
        const double* o = s.obstacles.data() + static_cast<std::ptrdiff_t>(j) * ZB_OBSTACLE_WIDTH;
        ObstacleLine& line = lines[static_cast<size_t>(j)];
        line.ax = o[ZB_OBSTACLE_AX];
        line.ay = o[ZB_OBSTACLE_AY];
        line.ex = o[ZB_OBSTACLE_BX] - line.ax;
        line.ey = o[ZB_OBSTACLE_BY] - line.ay;
        const double length2 = line.ex * line.ex + line.ey * line.ey;
        line.length2 = length2 > 0 ? length2 : 1.0;
        line.radius = o[ZB_OBSTACLE_RADIUS];
        line.circle = o[ZB_OBSTACLE_IS_CIRCLE] == 1.0;
    }
}

}  // namespace

void prepareObservations(const Snapshot& s, ObserveScratch& scratch) { lineUpObstacles(s, scratch.obstacles); }

void observeZibber(const Snapshot& s, const int32_t* teamOf, const ObsLayout& layout, int32_t i,
                   const PointMirror& points, double& pointReach, ObserveScratch& scratch, float* out) {
    NearestK& nearest = scratch.nearest;
    const double* me = zbhost::zibberAt(s, i);
    if (me[ZB_ZIBBER_ALIVE] != 1.0) {
        std::fill(out, out + observationSize(layout), 0.0f);
        return;
    }
    const double heading = me[ZB_ZIBBER_HEADING];
    const Frame f{me[ZB_ZIBBER_X], me[ZB_ZIBBER_Y], std::cos(heading), std::sin(heading), 1.0 / layout.scale};
    out = writeOwn(s, me, f, layout.scale, out);
    out = writeZibbers(s, teamOf, i, f, layout, scratch, out);
    out = writePoints(points, pointReach, f, layout.points, nearest, out);
    out = writeRubys(s, f, layout.rubys, nearest, out);
    out = writeObstacles(s, scratch.obstacles, me, f, layout.obstacles, nearest, out);
    writeProjectiles(s, f, layout.projectiles, nearest, out);
}

}  // namespace zbenv
