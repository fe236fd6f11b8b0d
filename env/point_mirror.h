// A match's points, kept from one step to the next so that the export of every
// point (a copy of all of them) is read only when points were added, and then
// only at its end. Points never move: a step deletes some, each reported as a
// removal carrying its id, and appends the new ones at the end of the export,
// which stays in creation order. So the removals and the point count tell what
// changed.
//
// The points sit in a square grid over the arena, stored cell by cell, so that
// an observer's nearest points are found in the few cells around it. Points
// added since the grid was filled wait in a short list every query also scans;
// the grid is filled again when that list, or the gaps deleted points leave,
// grow too long.
#pragma once

#include <zibber.h>

#include <cstdint>
#include <vector>

#include "env/nearest.h"

namespace zbenv {

struct MirrorPoint {
    double x, y;  // NaN once deleted, which no distance test passes
};

struct FreshPoint {
    double x, y;
    int64_t order;
    int32_t id;
    int32_t cell;
};

struct PointMirror {
    // Cell by cell, with gaps; the queries read only the coordinates.
    std::vector<MirrorPoint> grid;
    std::vector<int64_t> gridOrder;  // creation order
    std::vector<int32_t> gridId;     // -1 once deleted
    std::vector<int32_t> cellStart;  // one offset into grid per cell, and the end
    std::vector<FreshPoint> fresh;   // added since the grid was filled
    int64_t nextOrder = 0;
    int32_t live = 0;
    int32_t gaps = 0;
};

// What syncing reads the World's exports into, shared by the matches of a
// thread, and the other half of the grid's arrays while it is filled again.
struct MirrorScratch {
    std::vector<double> points, removals;
    std::vector<FreshPoint> gather;
    std::vector<int32_t> fill;
    std::vector<MirrorPoint> grid;
    std::vector<int64_t> gridOrder;
    std::vector<int32_t> gridId, cellStart;
};

// Fills the mirror from every point of the World. exported: the World's point
// export as it stands, when the caller has read it already; else null.
void loadPointMirror(const zb_world* world, PointMirror& mirror, MirrorScratch& scratch, const double* exported);
// The same from rows laid out as the World exports them.
void fillPointMirror(const double* rows, int32_t count, PointMirror& mirror, MirrorScratch& scratch);

// Brings the mirror up to the World after one zb_step since the last load or
// sync (exported as for loadPointMirror). Returns false when what the World
// reports did not add up and the mirror had to be filled from every point
// instead (a fault, never expected).
bool syncPointMirror(const zb_world* world, PointMirror& mirror, MirrorScratch& scratch, const double* exported);

// The k points nearest to (x, y) by squared distance (px - x)^2 + (py - y)^2,
// ties to the earlier created; each Candidate's index is the point's place in
// the mirror (see pointAt), valid until the next sync. reach: in, the squared
// distance of this observer's k-th nearest point last time (a hint; INFINITY
// when none); out, this time's (INFINITY with fewer than k points).
void nearestPoints(const PointMirror& mirror, double x, double y, int32_t k, double& reach, NearestK& out);

inline MirrorPoint pointAt(const PointMirror& mirror, int32_t index) {
    if (index >= 0) return mirror.grid[static_cast<size_t>(index)];
    const FreshPoint& p = mirror.fresh[static_cast<size_t>(-2 - index)];
    return {p.x, p.y};
}

}  // namespace zbenv
