// The observation layout: how many neighbours of each sort a vector holds.
// The features of every block are listed in env/README.md.
#pragma once

#include <zibber_env.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace zbenv {

struct ObsLayout {
    int32_t rivals = 3;
    int32_t mates = 2;
    int32_t points = 6;
    int32_t rubys = 2;
    int32_t obstacles = 3;
    int32_t projectiles = 2;
    double scale = 20.0;
};

inline int32_t observationSize(const ObsLayout& l) {
    return ENV_OWN_FEATURES + (l.rivals + l.mates) * ENV_ZIBBER_FEATURES + l.points * ENV_POINT_FEATURES +
           l.rubys * ENV_RUBY_FEATURES + l.obstacles * ENV_OBSTACLE_FEATURES + l.projectiles * ENV_PROJECTILE_FEATURES;
}

inline int32_t largestBlock(const ObsLayout& l) {
    int32_t most = 0;
    for (int32_t k : {l.rivals, l.mates, l.points, l.rubys, l.obstacles, l.projectiles}) most = k > most ? k : most;
    return most;
}

}  // namespace zbenv
