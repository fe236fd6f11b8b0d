// The whole exported state of a World after a step, read through the public
// header only. Bots, the event counter and the state hash all work from this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <zibber.h>

namespace zbhost {

struct Snapshot {
    uint32_t tick = 0;
    double mapSize = 0.0;
    bool isOver = false;
    int32_t numTeams = 0;
    int32_t numZibbers = 0;
    int32_t numPoints = 0;
    int32_t numRubys = 0;
    int32_t numObstacles = 0;
    int32_t numProjectiles = 0;
    int32_t numParticles = 0;
    int32_t numRemovals = 0;
    std::vector<int32_t> teamScores;
    std::vector<double> zibbers;
    std::vector<double> points;
    std::vector<double> rubys;
    std::vector<double> obstacles;
    std::vector<double> projectiles;
    std::vector<double> particles;
    std::vector<double> removals;
};

// Reuses the buffers of `out`, so reading every step allocates only while the
// arrays grow.
void readSnapshot(const zb_world* world, Snapshot& out);
// Only the scalars and the zibbers, rubys, obstacles and projectiles, for
// observers that need no scores or events and keep the points themselves;
// the other fields keep what they held.
void readArenaWithoutPoints(const zb_world* world, Snapshot& out);

inline const double* zibberAt(const Snapshot& s, int i) {
    return s.zibbers.data() + static_cast<std::ptrdiff_t>(i) * ZB_ZIBBER_WIDTH;
}

}  // namespace zbhost
