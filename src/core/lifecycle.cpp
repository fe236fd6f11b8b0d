#include <zibber.h>

#include "core/world.h"

namespace zb {

// Ids run from 4 up to the pool's end minus one.
constexpr int32_t kZibberPoolEnd = ZB_MAX_ZIBBERS + 4;
constexpr int32_t kObstaclePoolEnd = 255;
constexpr int32_t kLargePoolEnd = 65535;

void initWorld(World& world, uint64_t seed) {
    world.rngState = seed != 0 ? seed : kGoldenGamma;
    initPointField(world.points);
    resetPool(world.zibberIds, kZibberPoolEnd);
    resetPool(world.pointIds, kLargePoolEnd);
    resetPool(world.rubyIds, kLargePoolEnd);
    resetPool(world.obstacleIds, kObstaclePoolEnd);
    resetPool(world.projectileIds, kLargePoolEnd);
}

}  // namespace zb

extern "C" {

zb_world* zb_create(uint64_t seed) {
    auto* world = new zb_world();
    zb::initWorld(*world, seed);
    return world;
}

void zb_destroy(zb_world* world) { delete world; }

}  // extern "C"
