#include <cmath>
#include <cstdint>

#include "core/hot.h"
#include "core/phases.h"
#include "core/random_disc.h"
#include "points/reach_filter.h"

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
bool nearZibber(const std::vector<ZibberReach>& reaches, double x, double y) {
    for (const ZibberReach& r : reaches) {
        const double dx = r.x - x;
        const double dy = r.y - y;
        if (outsideBox(r, dx, dy)) continue;
        if (std::fma(dx, dx, dy * dy) < r.limit) return true;
    }
    return false;
}

}  // namespace

// A tenth of the shortfall is attempted per step; failed attempts still use
// their three draws.
ZB_HOT void scatterAmbientPoints(World& world) {
    const double r = world.mapSize;
    const double target = r * (r * kAmbientDensity);
    const int32_t n = attemptCount((target - static_cast<double>(world.arenaPointCount)) * kShortfallShare);
    if (n < 1) return;
    std::vector<ZibberReach>& reaches = world.scratch.reaches;
    collectReaches(world, 6.0, reaches);
    for (int32_t i = 0; i < n; ++i) {
        const Offset o = randomDiscOffset(world, world.mapSize - 2.0);
        if (!nearZibber(reaches, o.x, o.y)) spawnPoint(world, 1, o.x, o.y);
    }
}

}  // namespace zb
