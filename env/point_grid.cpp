#include "env/point_grid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace zbenv {

namespace {

// About this many points per cell balances cells visited against points tested.
constexpr double kPointsPerCell = 2.0;
constexpr int32_t kMaxSide = 64;
// Far above the rounding of a coordinate into a cell: keeps the ring bound on
// the safe side.
constexpr double kBoundSlack = 1e-9;

int32_t cellOf(double v, double origin, double invCell, int32_t side) {
    auto c = static_cast<int32_t>((v - origin) * invCell);
    return std::clamp(c, 0, side - 1);
}

}  // namespace

void buildPointGrid(const double* points, int32_t count, int32_t width, PointGrid& grid) {
    grid.x.resize(static_cast<size_t>(count));
    grid.y.resize(static_cast<size_t>(count));
    grid.index.resize(static_cast<size_t>(count));
    if (count == 0) {
        grid.side = 0;
        return;
    }
    double minX = points[1], maxX = points[1], minY = points[2], maxY = points[2];
    for (int32_t i = 1; i < count; ++i) {
        const double* p = points + static_cast<std::ptrdiff_t>(i) * width;
        minX = std::min(minX, p[1]);
        maxX = std::max(maxX, p[1]);
        minY = std::min(minY, p[2]);
        maxY = std::max(maxY, p[2]);
    }
    double extent = std::max(std::max(maxX - minX, maxY - minY), 1e-6);
    auto side = static_cast<int32_t>(std::ceil(std::sqrt(count / kPointsPerCell)));
    side = std::clamp(side, 1, kMaxSide);
    grid.side = side;
    grid.minX = minX;
    grid.minY = minY;
    // A hair wider than the extent, so the largest coordinate stays in the last cell.
    grid.cell = extent * (1.0 + 1e-9) / side;
    grid.invCell = 1.0 / grid.cell;

    grid.cellStart.assign(static_cast<size_t>(side) * side + 1, 0);
    std::vector<int32_t>& start = grid.cellStart;
    std::vector<int32_t>& cellOfPoint = grid.cellOfPoint;
    cellOfPoint.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const double* p = points + static_cast<std::ptrdiff_t>(i) * width;
        int32_t c = cellOf(p[2], minY, grid.invCell, side) * side + cellOf(p[1], minX, grid.invCell, side);
        cellOfPoint[static_cast<size_t>(i)] = c;
        ++start[static_cast<size_t>(c) + 1];
    }
    for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    std::vector<int32_t>& fill = grid.fill;
    fill.assign(start.begin(), start.end() - 1);
    for (int32_t i = 0; i < count; ++i) {
        const double* p = points + static_cast<std::ptrdiff_t>(i) * width;
        auto at = static_cast<size_t>(fill[static_cast<size_t>(cellOfPoint[static_cast<size_t>(i)])]++);
        grid.x[at] = p[1];
        grid.y[at] = p[2];
        grid.index[at] = i;
    }
}

void nearestPoints(const PointGrid& grid, double x, double y, int32_t k, NearestK& out) {
    out.clear(k);
    if (k == 0 || grid.side == 0) return;
    const int32_t side = grid.side;
    const int32_t qx = cellOf(x, grid.minX, grid.invCell, side);
    const int32_t qy = cellOf(y, grid.minY, grid.invCell, side);
    auto scanCell = [&](int32_t cx, int32_t cy) {
        size_t c = static_cast<size_t>(cy) * side + cx;
        for (int32_t at = grid.cellStart[c]; at < grid.cellStart[c + 1]; ++at) {
            double dx = grid.x[static_cast<size_t>(at)] - x;
            double dy = grid.y[static_cast<size_t>(at)] - y;
            out.offer(dx * dx + dy * dy, grid.index[static_cast<size_t>(at)]);
        }
    };
    for (int32_t r = 0;; ++r) {
        int32_t x0 = qx - r, x1 = qx + r, y0 = qy - r, y1 = qy + r;
        for (int32_t cy = std::max(y0, 0); cy <= std::min(y1, side - 1); ++cy) {
            bool edgeRow = cy == y0 || cy == y1;
            for (int32_t cx = std::max(x0, 0); cx <= std::min(x1, side - 1); ++cx)
                if (edgeRow || cx == x0 || cx == x1) scanCell(cx, cy);
        }
        // Every point not yet seen lies beyond one of the square's open sides.
        double bound = INFINITY;
        if (x0 > 0) bound = std::min(bound, x - (grid.minX + x0 * grid.cell));
        if (x1 < side - 1) bound = std::min(bound, grid.minX + (x1 + 1) * grid.cell - x);
        if (y0 > 0) bound = std::min(bound, y - (grid.minY + y0 * grid.cell));
        if (y1 < side - 1) bound = std::min(bound, grid.minY + (y1 + 1) * grid.cell - y);
        if (bound == INFINITY) return;  // the square covers the whole grid
        double safe = bound - kBoundSlack;
        if (out.full() && safe > 0.0 && safe * safe > out.worst().key) return;
    }
}

}  // namespace zbenv
