// Match events, recovered from two consecutive snapshots: the library
// reports no events as such, only particles, removals and changed fields.
#pragma once

#include <cstdint>

#include "host/snapshot.h"

namespace zbhost {

struct EventTotals {
    int64_t bursts = 0;
    int64_t contacts = 0;     // bounces between two zibbers
    int64_t scoringRams = 0;  // bounces after which one of the two scored
    int64_t rubyBites = 0;
    int64_t launches = 0;  // projectiles fired
    int64_t stuns = 0;     // zibbers hit by a projectile
    int64_t wallHits = 0;
    int64_t hazardHits = 0;
    int64_t pointsCollected = 0;
};

// `before` is the state the step started from, `after` the state it left.
// Both must come from the same zb_setup.
void countEvents(const Snapshot& before, const Snapshot& after, EventTotals& totals);

}  // namespace zbhost
