#include <zibber.h>

#include <cmath>
#include <cstdint>

#include "core/phases.h"
#include "core/tuning.h"
#include "math/step_math.h"

namespace zb {
namespace {

void chargedDash(Zibber& z, double aim, double sizeFactor, int32_t charge) {
    const double v = dashSpeed(static_cast<double>(charge));
    const fm::SinCos sc = fm::sinCos(aim);
    z.vx = std::fma(sc.c * sizeFactor, v, z.vx);
    z.vy = std::fma(sc.s * sizeFactor, v, z.vy);
    z.growthRate = z.growthRate + kDashGrowthRate;
}

// Fired along the heading from before this step's turn, just beyond the rim.
void launchProjectile(World& world, const Zibber& z) {
    const auto id = takeId(world.projectileIds);
    if (!id) return;
    const fm::SinCos sc = fm::sinCos(z.heading);
    const double reach = z.radius + 0.5;
    world.projectiles.push_back(Projectile{*id, std::fma(sc.c, reach, z.x), std::fma(sc.s, reach, z.y),
                                           sc.c * ZB_SHOT_SPEED, sc.s * ZB_SHOT_SPEED, 0, 0.3});
}

}  // namespace

void updateCharge(World& world, Zibber& z, double startSpeed, double aim, double sizeFactor) {
    const int32_t c = z.chargeTicks;
    const bool autoRelease = z.kind == ZB_KIND_DASHER && c >= 0 && kMaxDashCharge <= static_cast<double>(c);
    if (z.actionHold == 1 && !autoRelease) {
        if (c >= 0) {
            // Saturates rather than overflow on an endless hold.
            if (c < INT32_MAX) z.chargeTicks = c + 1;
        } else if (z.kind != ZB_KIND_DASHER || (startSpeed < ZB_DASH_SPEED_LIMIT && z.stunTicks == 0)) {
            // A dasher waits until it has slowed down and is not stunned.
            z.chargeTicks = 1;
        }
        return;
    }
    if (c < 0) return;
    if (z.kind == ZB_KIND_DASHER) {
        chargedDash(z, aim, sizeFactor, c);
    } else if (z.kind == ZB_KIND_SHOOTER && c >= ZB_SHOT_CHARGE) {
        launchProjectile(world, z);
    }
    z.chargeTicks = -1;
}

}  // namespace zb
