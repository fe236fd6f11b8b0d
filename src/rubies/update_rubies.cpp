#include <zibber.h>

#include <cmath>
#include <vector>

#include "core/hot.h"
#include "core/living.h"
#include "core/phases.h"
#include "core/rim_bounce.h"
#include "core/tuning.h"
#include "math/step_math.h"

namespace zb {
namespace {

void drift(Ruby& r) {
    r.x = r.vx + r.x;
    r.y = r.vy + r.y;
    r.vx = r.vx * 0.9;
    r.vy = r.vy * 0.9;
    r.cooldown = (r.cooldown > 1 ? r.cooldown : 1) - 1;
    // Small rubies age faster; ageing stops at about a quarter.
    if (r.remaining > 0.25) r.remaining = r.remaining + (-0.0015 / (r.scale * r.scale));
}

// Zibbers cannot overlap a ruby: each one touching it is set back at touching
// distance, whatever the cooldown.
void pushOutZibbers(World& world, const Ruby& r, double radius, std::vector<RubyContact>& contacts) {
    contacts.clear();
    for (const uint32_t k : world.scratch.living) {
        Zibber& z = world.zibbers[k];
        const double dx = r.x - z.x;
        const double dy = r.y - z.y;
        const double reach = radius + z.radius;
        if (std::fma(dx, dx, dy * dy) > reach * reach) continue;
        const double d = fm::hypot(dx, dy);
        // A zibber exactly on the centre has no direction of its own.
        const double nx = d != 0.0 ? dx / d : 1.0;
        const double ny = d != 0.0 ? dy / d : 0.0;
        const double pen = reach - d;
        z.x = std::fma(-nx, pen, z.x);
        z.y = std::fma(-ny, pen, z.y);
        contacts.push_back(RubyContact{k, nx, ny});
    }
}

// All touching zibbers bite at once. Returns true when the ruby is used up.
bool bite(World& world, Ruby& r, double radius, const std::vector<RubyContact>& contacts) {
    const double ua = uniform(world);
    const double ub = uniform(world);
    const double bite = std::fma(ua, ub > 0.65 ? 0.3 : 0.4, 0.1);
    const double n = static_cast<double>(contacts.size());
    const bool final = std::fma(-bite, n, r.remaining) < 0.15;
    const double share = final ? r.remaining / n : bite;
    for (const RubyContact& c : contacts) {
        Zibber& z = world.zibbers[c.index];
        r.vx = std::fma(c.nx, 0.2, r.vx);
        r.vy = std::fma(c.ny, 0.2, r.vy);
        z.vx = share * (-(c.nx * kRubyKnockbackSpeed));
        z.vy = share * (-(c.ny * kRubyKnockbackSpeed));
        z.growthRate = std::fma(kRubyShrinkRate, share, z.growthRate);
        const double gain = r.scale * ((share * 100.0) * r.scale);
        z.score = addScore(z.score, static_cast<int64_t>(std::llround(gain)));
        world.particles.push_back(Particle{final ? ZB_PARTICLE_FINAL_BITE : ZB_PARTICLE_BITE,
                                           std::fma(-radius, c.nx, r.x), std::fma(-radius, c.ny, r.y),
                                           (share * kRubyShrinkRate) * kDecayTime, -1, -1, -1});
    }
    r.cooldown = 30;
    if (!final) r.remaining = std::fma(-bite, n, r.remaining);
    return final;
}

}  // namespace

ZB_HOT void updateRubies(World& world) {
    std::vector<RubyContact>& contacts = world.scratch.rubyContacts;
    gatherLiving(world);
    size_t kept = 0;
    for (size_t i = 0; i < world.rubies.size(); ++i) {
        Ruby r = world.rubies[i];
        drift(r);
        const double radius = r.scale * r.remaining;
        bounceOffRim(r.x, r.y, r.vx, r.vy, world.mapSize - radius);
        pushOutZibbers(world, r, radius, contacts);
        const bool usedUp = !contacts.empty() && r.cooldown <= 0 && bite(world, r, radius, contacts);
        if (!usedUp) world.rubies[kept++] = r;
    }
    world.rubies.resize(kept);
}

}  // namespace zb
