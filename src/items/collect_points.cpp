#include <cmath>

#include "core/phases.h"

namespace zb {
namespace {

void removePoint(World& world, const Point& p, double x, double y) {
    world.removals.push_back(Removal{p.id, x, y});
    releaseId(world.pointIds, p.id);
    if (p.ambient != 0) --world.arenaPointCount;
}

// Points never move; they fall outside when the arena shrinks.
void cullBeyondRim(World& world) {
    const double limit = world.mapSize + 1.5;
    const double limit2 = limit * limit;
    size_t kept = 0;
    for (size_t i = 0; i < world.points.size(); ++i) {
        const Point p = world.points[i];
        if (std::fma(p.x, p.x, p.y * p.y) >= limit2) {
            removePoint(world, p, p.x, p.y);
        } else {
            world.points[kept++] = p;
        }
    }
    world.points.resize(kept);
}

// The lowest-index living zibber in reach (sqrt(2.5) radii) takes the point.
Zibber* collectorOf(World& world, const Point& p) {
    for (Zibber& z : world.zibbers) {
        if (!z.alive) continue;
        const double dx = p.x - z.x;
        const double dy = p.y - z.y;
        if (std::fma(dx, dx, dy * dy) <= (z.radius * z.radius) * 2.5) return &z;
    }
    return nullptr;
}

void pickUp(World& world) {
    size_t kept = 0;
    for (size_t i = 0; i < world.points.size(); ++i) {
        const Point p = world.points[i];
        Zibber* z = collectorOf(world, p);
        if (z == nullptr) {
            world.points[kept++] = p;
            continue;
        }
        z->score = addScore(z->score, 1);
        const double dx = p.x - z->x;
        const double dy = p.y - z->y;
        removePoint(world, p, std::fma(0.5, dx, z->x), std::fma(0.5, dy, z->y));
    }
    world.points.resize(kept);
}

}  // namespace

void collectPoints(World& world) {
    cullBeyondRim(world);
    pickUp(world);
}

}  // namespace zb
