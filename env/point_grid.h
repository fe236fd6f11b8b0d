// Points bucketed into a square grid once per step, so that each observer
// looks at the few cells around it instead of every point of the arena.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "env/nearest.h"

namespace zbenv {

struct PointGrid {
    double minX = 0.0, minY = 0.0, cell = 1.0, invCell = 1.0;
    int32_t side = 0;
    std::vector<int32_t> cellStart;          // side * side + 1 offsets into the arrays below
    std::vector<double> x, y;                // points in cell order
    std::vector<int32_t> index;              // their rows in the export
    std::vector<int32_t> cellOfPoint, fill;  // scratch of the build
};

// points: the export, `width` doubles per point, X and Y in columns 1 and 2.
void buildPointGrid(const double* points, int32_t count, int32_t width, PointGrid& grid);

// The k points nearest to (x, y) by squared distance, computed as
// (px - x)^2 + (py - y)^2.
void nearestPoints(const PointGrid& grid, double x, double y, int32_t k, NearestK& out);

}  // namespace zbenv
