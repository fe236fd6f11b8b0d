#include <zibber.h>

#include <cmath>

#include "core/hot.h"
#include "core/living.h"
#include "core/phases.h"
#include "core/random_disc.h"

namespace zb {
namespace {

constexpr int kExpiryPointAttempts = 16;

// Every living zibber in reach is stunned, not only the first.
bool stunZibbersHit(World& world, const Projectile& p) {
    bool hit = false;
    for (const uint32_t k : world.scratch.living) {
        Zibber& z = world.zibbers[k];
        const double dx = z.x - p.x;
        const double dy = z.y - p.y;
        const double r = z.radius + p.radius;
        if (std::fma(dx, dx, dy * dy) <= r * r) {
            z.stunTicks = ZB_STUN_TICKS;
            hit = true;
        }
    }
    return hit;
}

bool touchesRuby(const World& world, const Projectile& p) {
    for (const Ruby& q : world.rubies) {
        const double dx = q.x - p.x;
        const double dy = q.y - p.y;
        const double r = std::fma(q.scale, q.remaining, p.radius);
        if (std::fma(dx, dx, dy * dy) <= r * r) return true;
    }
    return false;
}

void flyProjectile(World& world, Projectile& p) {
    p.x = p.x + p.vx;
    p.y = p.y + p.vy;
    if (std::fma(p.x, p.x, p.y * p.y) >= world.mapSize * world.mapSize) {
        expireProjectile(world, p);
    } else if (stunZibbersHit(world, p)) {
        p.removed = 1;
        releaseId(world.projectileIds, p.id);
    } else if (touchesRuby(world, p)) {
        expireProjectile(world, p);
    }
}

}  // namespace

// Points fall around where the projectile was before this step's move, and
// only those strictly inside the arena are kept; the draws are always made.
ZB_HOT void expireProjectile(World& world, Projectile& p) {
    const double limit2 = world.mapSize * world.mapSize;
    for (int i = 0; i < kExpiryPointAttempts; ++i) {
        const Offset o = randomDiscOffset(world, 1.0);
        const double x = (p.x + o.x) - p.vx;
        const double y = (p.y + o.y) - p.vy;
        if (std::fma(x, x, y * y) < limit2) spawnPoint(world, 0, x, y);
    }
    p.removed = 1;
    releaseId(world.projectileIds, p.id);
}

ZB_HOT void moveProjectiles(World& world) {
    // Spawned points never add projectiles, so references stay valid here.
    gatherLiving(world);
    for (Projectile& p : world.projectiles) flyProjectile(world, p);
    size_t kept = 0;
    for (size_t i = 0; i < world.projectiles.size(); ++i) {
        if (world.projectiles[i].removed == 0) world.projectiles[kept++] = world.projectiles[i];
    }
    world.projectiles.resize(kept);
}

}  // namespace zb
