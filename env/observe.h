// One zibber's observation vector, written from a snapshot of its match.
#pragma once

#include <cstdint>
#include <vector>

#include "env/layout.h"
#include "env/nearest.h"
#include "env/point_mirror.h"
#include "host/snapshot.h"

namespace zbenv {

// An obstacle's centre line from A along E (a disc: its centre A).
struct ObstacleLine {
    double ax, ay, ex, ey;
    double length2;  // |E|^2, or 1 when zero
    double radius;
    bool circle;
};

struct ObserveScratch {
    NearestK nearest, mates;
    std::vector<ObstacleLine> obstacles;  // of the snapshot, from prepareObservations
};

// Once per snapshot, the work every observer shares: the obstacles' centre
// lines, into scratch.obstacles.
void prepareObservations(const zbhost::Snapshot& s, ObserveScratch& scratch);

// observationSize(layout) floats; all zeros for a dead zibber. teamOf holds
// the team of every zibber index; points: the match's points, as the
// snapshot's own are not read; pointReach: the zibber's hint for them (see
// nearestPoints).
void observeZibber(const zbhost::Snapshot& s, const int32_t* teamOf, const ObsLayout& layout, int32_t i,
                   const PointMirror& points, double& pointReach, ObserveScratch& scratch, float* out);

}  // namespace zbenv
