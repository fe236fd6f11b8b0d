#include <zibber.h>

#include <cmath>

#include "core/hot.h"
#include "core/living.h"
#include "core/phases.h"

namespace zb {
namespace {

constexpr int32_t kGone = INT32_MAX;

ZibberBody bodyOf(const Zibber& z) { return {z.x, z.y, z.radius, z.id}; }

// Every unordered pair of living zibbers meets once per step, from the side
// of the larger id, so the outcome does not depend on array order.
// A zibber that bursts in its turn is skipped by the later ones. The pairs
// are tested on a compact copy of the living zibbers, kept current as they
// move and bounce; a burst one's id is made larger than any, so the id test
// alone skips it, as it skips the zibber itself.
ZB_HOT void runZibberLoop(World& world) {
    const std::vector<uint32_t>& living = gatherLiving(world);
    std::vector<ZibberBody>& bodies = world.scratch.bodies;
    bodies.resize(living.size());
    for (size_t k = 0; k < living.size(); ++k) bodies[k] = bodyOf(world.zibbers[living[k]]);
    for (size_t k = 0; k < living.size(); ++k) {
        Zibber& z = world.zibbers[living[k]];
        updateZibber(world, z);
        if (burstIfOversized(world, z)) {
            bodies[k].id = kGone;
            continue;
        }
        bodies[k] = bodyOf(z);
        for (size_t m = 0; m < bodies.size(); ++m) {
            // zibbersTouch on the copies.
            const ZibberBody& o = bodies[m];
            const ZibberBody& a = bodies[k];
            const double dx = o.x - a.x;
            const double dy = o.y - a.y;
            const double rs = o.radius + a.radius;
            if (o.id < a.id && !(std::fma(dx, dx, dy * dy) > rs * rs)) {
                Zibber& other = world.zibbers[living[m]];
                collideZibbers(world, z, other, living[m]);
                bodies[k] = bodyOf(z);
                bodies[m] = bodyOf(other);
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
