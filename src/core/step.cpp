#include <zibber.h>

#include <cmath>

#include "core/hot.h"
#include "core/living.h"
#include "core/phases.h"
#include "math/lanes.h"
#include "math/step_math.h"

namespace zb {
namespace {

constexpr double kGone = INT32_MAX;

void setBody(ZibberBodies& b, size_t k, const Zibber& z) {
    b.x[k] = z.x;
    b.y[k] = z.y;
    b.radius[k] = z.radius;
    b.id[k] = z.id;
}

// zibbersTouch on the copies, with the id test that picks the pair's side.
bool meets(const ZibberBodies& b, size_t k, size_t m) {
    const double dx = b.x[m] - b.x[k];
    const double dy = b.y[m] - b.y[k];
    const double rs = b.radius[m] + b.radius[k];
    return b.id[m] < b.id[k] && !(std::fma(dx, dx, dy * dy) > rs * rs);
}

void meetOne(World& world, ZibberBodies& b, const std::vector<uint32_t>& living, size_t k, size_t m) {
    if (!meets(b, k, m)) return;
    Zibber& z = world.zibbers[living[k]];
    Zibber& other = world.zibbers[living[m]];
    collideZibbers(world, z, other, living[m]);
    setBody(b, k, z);
    setBody(b, m, other);
}

// The zibber at k meets every other in order. With the FMA instruction four
// are tested at once; where one of them touches, that one and those after it
// are tested again one at a time, since a bounce moves the zibber at k.
template <bool kFma>
void meetOthers(World& world, ZibberBodies& b, const std::vector<uint32_t>& living, size_t k) {
    size_t m = 0;
    if constexpr (kFma) {
        using namespace cr::detail;
        for (; m < b.x.size(); m += 4) {
            const Vec4 dx = load4(&b.x[m]) - splat(b.x[k]);
            const Vec4 dy = load4(&b.y[m]) - splat(b.y[k]);
            const Vec4 rs = load4(&b.radius[m]) + splat(b.radius[k]);
            const Mask4 touch = (load4(&b.id[m]) < splat(b.id[k])) & ~(fma4(dx, dx, dy * dy) > rs * rs);
            if ((touch[0] | touch[1] | touch[2] | touch[3]) == 0) continue;
            size_t lane = 0;
            while (touch[lane] == 0) ++lane;
            for (; lane < 4; ++lane) meetOne(world, b, living, k, m + lane);
        }
    }
    for (; m < b.x.size(); ++m) meetOne(world, b, living, k, m);
}

// Every unordered pair of living zibbers meets once per step, from the side
// of the larger id, so the outcome does not depend on array order.
// A zibber that bursts in its turn is skipped by the later ones. The pairs
// are tested on a compact copy of the living zibbers, kept current as they
// move and bounce; a burst one's id is made larger than any, so the id test
// alone skips it, as it skips the zibber itself.
ZB_HOT void runZibberLoop(World& world) {
    const std::vector<uint32_t>& living = gatherLiving(world);
    ZibberBodies& b = world.scratch.bodies;
    const size_t padded = (living.size() + 3) / 4 * 4;
    for (std::vector<double>* field : {&b.x, &b.y, &b.radius, &b.id}) field->assign(padded, 0.0);
    for (size_t k = 0; k < padded; ++k) {
        if (k < living.size()) {
            setBody(b, k, world.zibbers[living[k]]);
        } else {
            b.id[k] = kGone;
        }
    }
    const bool fma = fm::fmaPath();
    for (size_t k = 0; k < living.size(); ++k) {
        Zibber& z = world.zibbers[living[k]];
        updateZibber(world, z);
        if (burstIfOversized(world, z)) {
            b.id[k] = kGone;
            continue;
        }
        setBody(b, k, z);
        if (fma) {
            meetOthers<true>(world, b, living, k);
        } else {
            meetOthers<false>(world, b, living, k);
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
