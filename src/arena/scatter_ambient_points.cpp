#include <cmath>
#include <cstdint>

#include "core/phases.h"
#include "core/random_disc.h"

namespace zb {
namespace {

constexpr double kAmbientDensity = 0.12566370614359174;  // one point per 25 units of area
constexpr double kShortfallShare = 0.1;

// Saturating, with NaN giving 0.
int32_t attemptCount(double wanted) {
    const double n = std::ceil(wanted);
    if (!(n > 0.0)) return 0;
    if (n >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(n);
}

// Points may not land within sqrt(6) radii of a living zibber.
bool nearZibber(const World& world, double x, double y) {
    for (const Zibber& z : world.zibbers) {
        if (z.alive != 1) continue;
        const double dx = z.x - x;
        const double dy = z.y - y;
        if (std::fma(dx, dx, dy * dy) < (z.radius * z.radius) * 6.0) return true;
    }
    return false;
}

}  // namespace

// A tenth of the shortfall is attempted per step; failed attempts still use
// their three draws.
void scatterAmbientPoints(World& world) {
    const double r = world.mapSize;
    const double target = r * (r * kAmbientDensity);
    const int32_t n = attemptCount((target - static_cast<double>(world.arenaPointCount)) * kShortfallShare);
    for (int32_t i = 0; i < n; ++i) {
        const Offset o = randomDiscOffset(world, world.mapSize - 2.0);
        if (!nearZibber(world, o.x, o.y)) spawnPoint(world, 1, o.x, o.y);
    }
}

}  // namespace zb
