// Helpers shared by the library's tests: building small Worlds by hand and
// capturing everything a host can read, to compare states exactly.
#pragma once

#include <zibber.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/phases.h"
#include "core/world.h"
#include "host/world_handle.h"

namespace zbtest {

// Every export and scalar a host can read, plus the random state, as raw bits.
struct Snapshot {
    std::vector<uint64_t> bits;
    bool operator==(const Snapshot&) const = default;
};

inline void appendDoubles(Snapshot& s, const std::vector<double>& values) {
    for (double v : values) {
        uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        s.bits.push_back(b);
    }
}

inline std::vector<double> exportOf(const zb_world* w, void (*fn)(const zb_world*, double*), int32_t count, int width) {
    std::vector<double> out(static_cast<size_t>(count) * static_cast<size_t>(width));
    fn(w, out.data());
    return out;
}

inline Snapshot snapshot(const zb_world* w) {
    Snapshot s;
    s.bits = {zb_tick(w),
              static_cast<uint64_t>(zb_is_over(w)),
              static_cast<uint64_t>(zb_num_teams(w)),
              w->rngState,
              static_cast<uint64_t>(w->arenaPointCount),
              static_cast<uint64_t>(w->shrinkClock),
              static_cast<uint64_t>(w->startZibberCount)};
    appendDoubles(s, {zb_map_size(w)});
    std::vector<int32_t> scores(static_cast<size_t>(zb_num_teams(w)));
    zb_team_scores(w, scores.data());
    for (int32_t v : scores) s.bits.push_back(static_cast<uint32_t>(v));
    appendDoubles(s, exportOf(w, zb_zibbers, zb_num_zibbers(w), ZB_ZIBBER_WIDTH));
    appendDoubles(s, exportOf(w, zb_points, zb_num_points(w), ZB_POINT_WIDTH));
    appendDoubles(s, exportOf(w, zb_rubys, zb_num_rubys(w), ZB_RUBY_WIDTH));
    appendDoubles(s, exportOf(w, zb_obstacles, zb_num_obstacles(w), ZB_OBSTACLE_WIDTH));
    appendDoubles(s, exportOf(w, zb_projectiles, zb_num_projectiles(w), ZB_PROJECTILE_WIDTH));
    appendDoubles(s, exportOf(w, zb_particles, zb_num_particles(w), ZB_PARTICLE_WIDTH));
    appendDoubles(s, exportOf(w, zb_removals, zb_num_removals(w), ZB_REMOVAL_WIDTH));
    for (const auto& members : w->teamMembers) {
        s.bits.push_back(members.size());
        for (uint32_t m : members) s.bits.push_back(m);
    }
    for (const zb::IdPool* pool : {&w->zibberIds, &w->pointIds, &w->rubyIds, &w->obstacleIds, &w->projectileIds}) {
        s.bits.push_back(pool->freshIds);
        s.bits.push_back(pool->queued);
        if (pool->queued != 0) s.bits.push_back(pool->ring[pool->head]);
    }
    return s;
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

// Adds hand-made zibbers to a World as setup would record them (one team).
inline void addZibbers(zb_world* w, std::vector<zb::Zibber> zibbers) {
    if (w->teamMembers.empty()) {
        w->teamMembers.emplace_back();
        w->teamScores.push_back(0);
        w->teamCount = 1;
    }
    for (auto& z : zibbers) {
        w->teamMembers[0].push_back(static_cast<uint32_t>(w->zibbers.size()));
        w->zibbers.push_back(std::move(z));
    }
    w->zibberCount = static_cast<int32_t>(w->zibbers.size());
    w->startZibberCount = w->zibberCount;
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
