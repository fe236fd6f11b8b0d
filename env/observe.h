// One zibber's observation vector, written from a snapshot of its match.
#pragma once

#include <cstdint>
#include <vector>

#include "env/layout.h"
#include "env/nearest.h"
#include "env/point_grid.h"
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
    PointGrid grid;
    std::vector<double> xs, ys;
    std::vector<NearestK> points;  // per observer
    NearestK nearest, mates;
    std::vector<ObstacleLine> obstacles;  // of the snapshot, from prepareObservations
};

// Once per snapshot, the work every observer shares: the nearest points of
// each of the given (live) zibbers, into scratch.points, and the obstacles'
// centre lines, into scratch.obstacles. reach: per zibber given, the
// squared distance of its farthest nearest point, last step's in (infinity:
// unknown) and this step's out.
void prepareObservations(const zbhost::Snapshot& s, const int32_t* zibbers, int32_t count, const ObsLayout& layout,
                         double* reach, ObserveScratch& scratch);

// observationSize(layout) floats; all zeros for a dead zibber. teamOf holds
// the team of every zibber index; points: its nearest points.
void observeZibber(const zbhost::Snapshot& s, const int32_t* teamOf, const ObsLayout& layout, int32_t i,
                   const NearestK& points, ObserveScratch& scratch, float* out);

}  // namespace zbenv
