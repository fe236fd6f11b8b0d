#include "env/point_grid.h"

#include <zibber.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace zbenv {

namespace {

// About this many points per cell balances cells visited against points tested.
constexpr double kPointsPerCell = 2.0;
constexpr int32_t kMaxSide = 64;
// From this many observers on, filling the grid pays (measured on 565 points).
constexpr int32_t kGridObservers = 24;
// Far above the rounding of a coordinate into a cell: keeps the ring bound on
// the safe side.
constexpr double kBoundSlack = 1e-9;

// A coordinate outside the grid goes to the edge cell on its side, which keeps
// every ring bound below true; so does a non-finite one.
int32_t cellOf(double v, const PointGrid& grid) {
    double c = (v - grid.origin) * grid.invCell;
    c = c > 0.0 ? c : 0.0;
    c = c < grid.lastCell ? c : grid.lastCell;
    return static_cast<int32_t>(c);
}

// Two observers per vector: the arithmetic of each lane is that of a double.
using Pair = double __attribute__((vector_size(16)));

// One pass over the export in index order (so a tie never displaces an
// earlier point), two observers at a time.
void scanPoints(const PointGrid& grid, const double* xs, const double* ys, int32_t observers, NearestK* out) {
    const double* p = grid.source;
    const std::ptrdiff_t width = grid.width;
    for (int32_t o0 = 0; o0 < observers; o0 += 2) {
        // A lone last observer fills both lanes and keeps one.
        const int32_t o1 = std::min(o0 + 1, observers - 1);
        NearestK& a = out[o0];
        NearestK& b = out[o1];
        const Pair ox = {xs[o0], xs[o1]}, oy = {ys[o0], ys[o1]};
        // Anything below the worst kept key gets in; nothing is kept yet.
        Pair limit = {INFINITY, INFINITY};
        for (int32_t i = 0; i < grid.count; ++i) {
            const Pair dx = p[i * width + 1] - ox, dy = p[i * width + 2] - oy;
            const Pair d2 = dx * dx + dy * dy;
            const auto below = d2 < limit;
            if (!(below[0] | below[1])) continue;
            if (below[0]) {
                a.offer(d2[0], i);
                if (a.full()) limit[0] = a.worst().key;
            }
            if (below[1] && o1 != o0) {
                b.offer(d2[1], i);
                if (b.full()) limit[1] = b.worst().key;
            }
        }
    }
}

}  // namespace

void buildPointGrid(const double* points, int32_t count, int32_t width, double mapSize, int32_t observers,
                    PointGrid& grid) {
    grid.count = count;
    grid.source = points;
    grid.width = width;
    grid.bucketed = observers >= kGridObservers;
    if (!grid.bucketed) return;
    grid.points.resize(static_cast<size_t>(count));
    // Points lie within the rim plus the cull margin; the grid covers that square.
    const double half = (std::isfinite(mapSize) && mapSize > 0 ? mapSize : 0.0) + ZB_POINT_CULL_MARGIN + 1.0;
    const int32_t side = std::clamp(static_cast<int32_t>(std::ceil(std::sqrt(count / kPointsPerCell))), 1, kMaxSide);
    grid.side = side;
    grid.lastCell = side - 1;
    grid.origin = -half;
    grid.cell = 2.0 * half / side;
    grid.invCell = side / (2.0 * half);

    std::vector<int32_t>& start = grid.cellStart;
    start.assign(static_cast<size_t>(side) * side + 1, 0);
    grid.cellOfPoint.resize(static_cast<size_t>(count));
    int32_t* cellOfPoint = grid.cellOfPoint.data();
    for (int32_t i = 0; i < count; ++i) {
        const double* p = points + static_cast<std::ptrdiff_t>(i) * width;
        int32_t c = cellOf(p[2], grid) * side + cellOf(p[1], grid);
        cellOfPoint[i] = c;
        ++start[static_cast<size_t>(c) + 1];
    }
    for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    grid.fill.assign(start.begin(), start.end() - 1);
    int32_t* fill = grid.fill.data();
    GridPoint* out = grid.points.data();
    for (int32_t i = 0; i < count; ++i) {
        const double* p = points + static_cast<std::ptrdiff_t>(i) * width;
        out[fill[cellOfPoint[i]]++] = {p[1], p[2], i};
    }
}

namespace {

void nearestInGrid(const PointGrid& grid, double x, double y, NearestK& out) {
    const GridPoint* points = grid.points.data();
    const int32_t side = grid.side;
    const int32_t qx = cellOf(x, grid), qy = cellOf(y, grid);
    auto scanCells = [&](int32_t cy, int32_t cx0, int32_t cx1) {
        // Cells of one row are contiguous.
        const int32_t* start = grid.cellStart.data() + static_cast<std::ptrdiff_t>(cy) * side;
        for (int32_t at = start[cx0]; at < start[cx1 + 1]; ++at) {
            double dx = points[at].x - x, dy = points[at].y - y;
            double d2 = dx * dx + dy * dy;
            if (!out.full() || d2 <= out.worst().key) out.offer(d2, points[at].index);
        }
    };
    for (int32_t r = 0;; ++r) {
        const int32_t x0 = qx - r, x1 = qx + r, y0 = qy - r, y1 = qy + r;
        const int32_t cx0 = std::max(x0, 0), cx1 = std::min(x1, side - 1);
        for (int32_t cy = std::max(y0, 0); cy <= std::min(y1, side - 1); ++cy) {
            if (cy == y0 || cy == y1) {
                scanCells(cy, cx0, cx1);
            } else {
                if (x0 >= 0) scanCells(cy, x0, x0);
                if (x1 < side) scanCells(cy, x1, x1);
            }
        }
        // Every point not yet seen lies beyond one of the square's open sides.
        double bound = INFINITY;
        if (x0 > 0) bound = std::min(bound, x - (grid.origin + x0 * grid.cell));
        if (x1 < side - 1) bound = std::min(bound, grid.origin + (x1 + 1) * grid.cell - x);
        if (y0 > 0) bound = std::min(bound, y - (grid.origin + y0 * grid.cell));
        if (y1 < side - 1) bound = std::min(bound, grid.origin + (y1 + 1) * grid.cell - y);
        if (bound == INFINITY) return;  // the square covers the whole grid
        double safe = bound - kBoundSlack;
        if (out.full() && safe > 0.0 && safe * safe > out.worst().key) return;
    }
}

}  // namespace

void nearestPoints(const PointGrid& grid, const double* xs, const double* ys, int32_t observers, int32_t k,
                   NearestK* out) {
    for (int32_t o = 0; o < observers; ++o) out[o].clear(k);
    if (k == 0 || grid.count == 0) return;
    if (!grid.bucketed) return scanPoints(grid, xs, ys, observers, out);
    for (int32_t o = 0; o < observers; ++o) nearestInGrid(grid, xs[o], ys[o], out[o]);
}

}  // namespace zbenv
