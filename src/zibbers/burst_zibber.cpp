#include <zibber.h>

#include <cmath>

#include "core/hot.h"
#include "core/phases.h"
#include "core/random_disc.h"
#include "core/tuning.h"
#include "math/step_math.h"

namespace zb {
namespace {

// Part of a high score may come back as a ruby sliding off along the final
// heading; whatever the id pool says, the draws and the value taken are the
// same, so the rest of the match does not depend on pool exhaustion.
double dropRuby(World& world, const Zibber& z, double dropValue) {
    const double u2 = uniform(world);
    const double rubyValue = dropValue * std::fma(u2, 0.3, 0.4);
    if (const auto id = takeId(world.rubyIds)) {
        const fm::SinCos sc = fm::sinCos(z.heading);
        world.rubies.push_back(Ruby{*id, z.x, z.y, (sc.c * 1.2) / kDecayTime, (sc.s * 1.2) / kDecayTime,
                                    std::sqrt(rubyValue / 100.0), 1.0, 30});
    }
    return dropValue - rubyValue;
}

}  // namespace

// A zibber swollen beyond the burst radius dies and leaves its points behind.
bool burstIfOversized(World& world, Zibber& z) {
    if (!(z.radius > ZB_BURST_RADIUS)) return false;
    burstZibber(world, z);
    z.alive = 0;
    return true;
}

ZB_HOT void burstZibber(World& world, Zibber& z) {
    const double u1 = uniform(world);
    const double v = std::floor(static_cast<double>(z.score) * 0.9);
    // Above 150 the drop grows only with the square root of the score.
    double d = v <= 150.0 ? v : std::fma(std::sqrt(v - 150.0), 5.0, 150.0);
    if (u1 < (v + (-50.0)) / 100.0) d = dropRuby(world, z, d);

    const int64_t count = static_cast<int64_t>(d > 0.0 ? d : 0.0) + 10;
    for (int64_t i = 0; i < count; ++i) {
        const Offset o = randomDiscOffset(world, z.radius);
        spawnPoint(world, 0, z.x + o.x, z.y + o.y);
    }
    releaseId(world.zibberIds, static_cast<uint32_t>(z.id));
}

}  // namespace zb
