// One zibber's observation vector, written from a snapshot of its match.
#pragma once

#include <cstdint>

#include "env/layout.h"
#include "env/nearest.h"
#include "env/point_grid.h"
#include "host/snapshot.h"

namespace zbenv {

struct ObserveScratch {
    PointGrid grid;
    NearestK nearest;
};

// Once per snapshot, before observing any of its zibbers.
void prepareObservations(const zbhost::Snapshot& s, ObserveScratch& scratch);

// observationSize(layout) floats; all zeros for a dead zibber. teamOf holds
// the team of every zibber index.
void observeZibber(const zbhost::Snapshot& s, const int32_t* teamOf, const ObsLayout& layout, int32_t i,
                   ObserveScratch& scratch, float* out);

}  // namespace zbenv
