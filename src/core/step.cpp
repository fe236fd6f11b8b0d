#include <zibber.h>

#include <cmath>

#include "core/living.h"
#include "core/phases.h"

namespace zb {
namespace {

// Every unordered pair of living zibbers meets once per step, from the side
// of the larger id, so the outcome does not depend on array order.
// A zibber that bursts in its turn is skipped by the later ones.
void runZibberLoop(World& world) {
    const std::vector<uint32_t>& living = gatherLiving(world);
    for (const uint32_t i : living) {
        Zibber& z = world.zibbers[i];
        updateZibber(world, z);
        if (burstIfOversized(world, z)) continue;
        for (const uint32_t j : living) {
            Zibber& other = world.zibbers[j];
            if (j != i && other.alive && other.id < z.id && zibbersTouch(z, other)) {
                collideZibbers(world, z, other, j);
            }
        }
    }
}

}  // namespace

void stepWorld(World& world) {
    world.particles.clear();
    world.removals.clear();
    collectPoints(world);
    moveObstacles(world);
    runZibberLoop(world);
    updateRubies(world);
    moveProjectiles(world);
    resolveObstacleContacts(world);
    upkeepArena(world);
    for (Zibber& z : world.zibbers) z.actionTap = 0;
    ++world.tick;
}

}  // namespace zb

extern "C" {

void zb_set_action(zb_world* world, int32_t index, int32_t kind, double value) {
    if (world == nullptr || index < 0 || index >= world->zibberCount) return;
    zb::Zibber& z = world->zibbers[static_cast<size_t>(index)];
    // A non-finite target would poison the heading for the rest of the match.
    if (std::isfinite(value)) z.targetHeading = value;
    z.actionTap = kind == ZB_ACTION_TAP;
    z.actionHold = kind == ZB_ACTION_HOLD;
}

void zb_step(zb_world* world) {
    if (world != nullptr) zb::stepWorld(*world);
}

}  // extern "C"
