#include "core/phases.h"

namespace zb {

void spawnPoint(World& world, uint8_t ambient, double x, double y) {
    // With the pool exhausted the point is simply not made.
    const auto id = takeId(world.pointIds);
    if (!id) return;
    addPoint(world.points, Point{*id, x, y, ambient});
    if (ambient != 0) ++world.arenaPointCount;
}

}  // namespace zb
