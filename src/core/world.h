// The whole state of one match. The public handle type is this record itself,
// so the C functions need no casts; the host only ever sees it opaque.
#pragma once

#include <zibber.h>

#include <cstdint>
#include <vector>

#include "core/id_pool.h"
#include "core/random.h"
#include "core/records.h"
#include "core/scratch.h"
#include "points/point_field.h"

struct zb_world {
    uint64_t rngState = 0;
    uint32_t tick = 0;
    int32_t teamCount = 0;
    int32_t zibberCount = 0;
    int32_t arenaPointCount = 0;
    int32_t startZibberCount = 0;
    int32_t shrinkClock = 0;
    double mapSize = ZB_START_MAP_SIZE;
    uint8_t isOver = 0;
    std::vector<zb::Zibber> zibbers;
    zb::PointField points;
    std::vector<zb::Ruby> rubies;
    std::vector<zb::Obstacle> obstacles;
    std::vector<zb::Projectile> projectiles;
    std::vector<zb::Particle> particles;
    std::vector<zb::Removal> removals;
    std::vector<int32_t> teamScores;
    std::vector<std::vector<uint32_t>> teamMembers;
    zb::IdPool zibberIds;
    zb::IdPool pointIds;
    zb::IdPool rubyIds;
    zb::IdPool obstacleIds;
    zb::IdPool projectileIds;
    zb::Scratch scratch;
};

namespace zb {

using World = ::zb_world;

void initWorld(World& world, uint64_t seed);

inline double uniform(World& world) { return drawUniform(world.rngState); }

}  // namespace zb
