#include <zibber.h>

#include <cmath>

#include "core/phases.h"
#include "core/world.h"
#include "math/step_math.h"

namespace zb {
namespace {

constexpr size_t kContactReserve = 4;

// Setup either happens whole or not at all: a call that cannot be carried out
// (negative count, missing sizes, more zibbers than ids left) must not leave
// a half-rebuilt World or an exception at the C boundary.
bool canSetup(const World& world, const int32_t* sizes, int32_t count) {
    if (count < 0) return false;
    if (count > 0 && sizes == nullptr) return false;
    int64_t needed = 0;
    for (int32_t t = 0; t < count; ++t) {
        if (sizes[t] >= 1) needed += sizes[t];
    }
    return needed <= availableIds(world.zibberIds);
}

void placeTeam(World& world, int32_t t, int32_t count, int32_t n, const int32_t* kinds, double ringRadius) {
    const double a = (static_cast<double>(t) * kTwoPi) / static_cast<double>(count);
    const double h = std::fmod(a + kPi, kTwoPi);
    const fm::SinCos sc = fm::sinCos(a);
    for (int32_t k = 0; k < n; ++k) {
        Zibber z;
        z.id = static_cast<int32_t>(*takeId(world.zibberIds));  // checked by canSetup
        const double o = (static_cast<double>(k) + static_cast<double>(n - 1) * (-0.5)) * 3.0;
        z.x = std::fma(sc.c, ringRadius, o * (-sc.s));
        z.y = std::fma(sc.s, ringRadius, sc.c * o);
        const size_t g = world.zibbers.size();
        if (kinds != nullptr && kinds[g] >= 0) {
            z.kind = kinds[g];
        } else {
            z.kind = static_cast<int32_t>(uniform(world) * static_cast<double>(ZB_KIND_COUNT));
        }
        z.heading = h;
        z.targetHeading = h;
        z.radius = 1.0;
        z.chargeTicks = -1;
        z.alive = 1;
        // Room for the first few bounce partners, so a zibber's first
        // collisions late in a match do not allocate.
        z.contacts.reserve(kContactReserve);
        world.teamMembers[static_cast<size_t>(t)].push_back(static_cast<uint32_t>(g));
        world.zibbers.push_back(std::move(z));
    }
}

}  // namespace

void setupMatch(World& world, const int32_t* sizes, int32_t count, const int32_t* kinds) {
    if (!canSetup(world, sizes, count)) return;
    world.teamCount = count;
    world.teamScores.assign(static_cast<size_t>(count), 0);
    world.teamMembers.assign(static_cast<size_t>(count), {});
    world.zibbers.clear();
    const double ringRadius = world.mapSize - 10.0;
    for (int32_t t = 0; t < count; ++t) {
        placeTeam(world, t, count, sizes[t], kinds, ringRadius);
    }
    world.zibberCount = static_cast<int32_t>(world.zibbers.size());
    world.startZibberCount = world.zibberCount;
    // One ruby now and at most one per zibber's burst: room for all of them.
    world.rubies.reserve(world.rubies.size() + static_cast<size_t>(world.zibberCount) + 1);
    if (auto id = takeId(world.rubyIds)) {
        world.rubies.push_back(Ruby{*id, 0.0, 0.0, 0.0, 0.0, 1.5, 1.0, 30});
    }
}

}  // namespace zb

extern "C" void zb_setup(zb_world* world, const int32_t* sizes, int32_t count, const int32_t* kinds) {
    if (world != nullptr) zb::setupMatch(*world, sizes, count, kinds);
}
