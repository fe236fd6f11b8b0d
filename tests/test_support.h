// Helpers shared by the library's tests: building small Worlds by hand and
// capturing a World's whole state, to compare states exactly.
#pragma once

#include <zibber.h>

#include <cstdint>
#include <vector>

#include "core/phases.h"
#include "core/world.h"
#include "host/state_hash.h"
#include "host/world_handle.h"

namespace zbtest {

// Everything a host can read (as the state hash), and the internal state that
// decides every later step: the random state, counters, teams and id pools.
using Snapshot = std::vector<uint64_t>;

inline Snapshot snapshot(const zb_world* w) {
    Snapshot s = {zbhost::hashWorld(w), w->rngState, static_cast<uint64_t>(w->arenaPointCount),
                  static_cast<uint64_t>(w->shrinkClock), static_cast<uint64_t>(w->startZibberCount)};
    for (const auto& members : w->teamMembers) {
        s.push_back(members.size());
        s.insert(s.end(), members.begin(), members.end());
    }
    for (const zb::IdPool* pool : {&w->zibberIds, &w->pointIds, &w->rubyIds, &w->obstacleIds, &w->projectileIds}) {
        s.insert(s.end(), {pool->freshIds, pool->queued});
        for (uint32_t k = 0; k < pool->queued; ++k) s.push_back(pool->ring[(pool->head + k) % pool->ring.size()]);
    }
    return s;
}

inline std::vector<double> exportOf(const zb_world* w, void (*fn)(const zb_world*, double*), int32_t count, int width) {
    std::vector<double> out(static_cast<size_t>(count) * static_cast<size_t>(width));
    fn(w, out.data());
    return out;
}

using WorldPtr = zbhost::WorldHandle;

inline WorldPtr makeWorld(uint64_t seed = 1) { return WorldPtr(zb_create(seed)); }

// A living zibber placed by hand, facing `heading`, not charging.
inline zb::Zibber makeZibber(int32_t id, double x, double y, double heading = 0.0, int32_t kind = 1) {
    zb::Zibber z;
    z.id = id;
    z.x = x;
    z.y = y;
    z.heading = heading;
    z.targetHeading = heading;
    z.radius = 1.0;
    z.kind = kind;
    z.chargeTicks = -1;
    z.alive = 1;
    return z;
}

// A World holding the given zibbers, recorded as setup would (one team).
inline WorldPtr worldWith(std::vector<zb::Zibber> zibbers, uint64_t seed = 11) {
    WorldPtr w = makeWorld(seed);
    w->teamMembers.emplace_back();
    w->teamScores.push_back(0);
    w->teamCount = 1;
    for (auto& z : zibbers) {
        w->teamMembers[0].push_back(static_cast<uint32_t>(w->zibbers.size()));
        w->zibbers.push_back(std::move(z));
    }
    w->zibberCount = static_cast<int32_t>(w->zibbers.size());
    w->startZibberCount = w->zibberCount;
    return w;
}

// Leaves only the `keep` lowest unused ids in a pool, to reach exhaustion.
inline void drainPool(zb::IdPool& pool, uint32_t keep = 0) {
    pool.queued = 0;
    if (pool.freshIds > keep) pool.freshIds = keep;
}

// The given back ids of a pool in the order they will be handed out again.
inline std::vector<uint32_t> queuedIds(const zb::IdPool& pool) {
    std::vector<uint32_t> out;
    for (uint32_t k = 0; k < pool.queued; ++k) out.push_back(pool.ring[(pool.head + k) % pool.ring.size()]);
    return out;
}

// The World's points in creation order, and hand-made ones put in their place.
inline std::vector<zb::Point> pointsOf(const zb_world* w) {
    std::vector<zb::Point> out;
    zb::forEachPoint(w->points, [&out](const zb::Point& p) { out.push_back(p); });
    return out;
}

inline void setPoints(zb_world* w, const std::vector<zb::Point>& points) {
    zb::initPointField(w->points);
    for (const zb::Point& p : points) zb::addPoint(w->points, p);
}

}  // namespace zbtest
