#include <zibber.h>

#include "core/world.h"

namespace zb {

void initWorld(World& world, uint64_t seed) {
    world.rngState = seed != 0 ? seed : kGoldenGamma;
    resetPool(world.zibberIds, 255);
    resetPool(world.pointIds, 65535);
    resetPool(world.rubyIds, 65535);
    resetPool(world.obstacleIds, 255);
    resetPool(world.projectileIds, 65535);
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
