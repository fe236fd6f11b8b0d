// The nearest points of every observer. With many observers the points are
// bucketed into a square grid over the arena once per step, so that each
// observer looks at the few cells around it; a few observers instead make a
// straight pass each over float copies of the coordinates, four points at a
// time, and test in double only the points that may be near enough. Filling
// the grid costs more than that until there are many observers.
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
    std::vector<float> floatX, floatY;       // when not bucketed, padded to fours
};

// points: the export, `width` doubles per point, X and Y in columns 1 and 2;
// mapSize: the arena's radius; observers: how many will ask.
void buildPointGrid(const double* points, int32_t count, int32_t width, double mapSize, int32_t observers,
                    PointGrid& grid);

// For each observer o, the k points nearest to (xs[o], ys[o]) by squared
// distance, computed as (px - x)^2 + (py - y)^2, into out[o].
void nearestPoints(const PointGrid& grid, const double* xs, const double* ys, int32_t observers, int32_t k,
                   NearestK* out);

}  // namespace zbenv
