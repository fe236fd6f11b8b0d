// The nearest points of every observer. With many observers the points are
// bucketed into a square grid over the arena once per step, so that each
// observer looks at the few cells around it; a few observers instead make one
// pass together over the coordinates, converted to float four points at a
// time, and test in double only the points that may be near enough, each
// starting from a guess taken from its last step. Filling the grid costs more
// than that until there are many observers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "env/nearest.h"

namespace zbenv {

struct GridPoint {
    double x, y;
    int32_t index;  // its row in the export
};

struct PointGrid {
    bool bucketed = false;
    const double* source = nullptr;  // the export, read in place when not bucketed
    int32_t width = 0;
    int32_t count = 0;
    int32_t side = 0;
    double origin = 0.0, cell = 1.0, invCell = 1.0, lastCell = 0.0;
    std::vector<int32_t> cellStart;          // side * side + 1 offsets into `points`
    std::vector<GridPoint> points;           // in cell order
    std::vector<int32_t> cellOfPoint, fill;  // scratch of the build
};

// points: the export, `width` doubles per point, X and Y in columns 1 and 2;
// mapSize: the arena's radius; observers: how many will ask.
void buildPointGrid(const double* points, int32_t count, int32_t width, double mapSize, int32_t observers,
                    PointGrid& grid);

// For each observer o, the k points nearest to (xs[o], ys[o]) by squared
// distance, computed as (px - x)^2 + (py - y)^2, into out[o]. reach[o]: in,
// the squared distance of its k-th nearest point last step (a hint, infinity
// when none); out, this step's (infinity with fewer than k points).
void nearestPoints(const PointGrid& grid, const double* xs, const double* ys, int32_t observers, int32_t k,
                   double* reach, NearestK* out);

}  // namespace zbenv
