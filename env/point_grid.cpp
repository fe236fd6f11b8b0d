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
// From this many observers on, filling the grid pays (measured on 565 points:
// the float pass costs less at 4 observers, the grid at 16).
constexpr int32_t kGridObservers = 8;
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

// Four points per vector in float: a cheap first test that lets through every
// point the exact test in double could keep.
using Float4 = float __attribute__((vector_size(16)));
using Mask4 = int32_t __attribute__((vector_size(16)));

// Bit j set when lane j is.
int32_t laneBits(Mask4 m) {
#if defined(__SSE__)
    return __builtin_ia32_movmskps(reinterpret_cast<Float4>(m));
#else
    return (m[0] & 1) | (m[1] & 2) | (m[2] & 4) | (m[3] & 8);
#endif
}

// Float coordinates are off by at most 70 * 2^-24 each, so a float squared
// distance (up to 4 * 140^2) is off by far less than this.
float floatLimit(double key) { return static_cast<float>(key * (1.0 + 1e-5) + 0.05); }

// One pass over the points in index order, so a tie never displaces an
// earlier point.
void scanPoints(const PointGrid& grid, double x, double y, NearestK& out) {
    const double* p = grid.source;
    const std::ptrdiff_t width = grid.width;
    const float ox = static_cast<float>(x), oy = static_cast<float>(y);
    float limit = INFINITY;
    const auto* fx = reinterpret_cast<const Float4*>(grid.floatX.data());
    const auto* fy = reinterpret_cast<const Float4*>(grid.floatY.data());
    for (int32_t block = 0; block * 4 < grid.count; ++block) {
        const Float4 dx = fx[block] - ox, dy = fy[block] - oy;
        // Padding lanes are never near enough to pass.
        for (int32_t bits = laneBits(dx * dx + dy * dy < limit); bits != 0; bits &= bits - 1) {
            const int32_t i = block * 4 + __builtin_ctz(static_cast<unsigned>(bits));
            double ex = p[i * width + 1] - x, ey = p[i * width + 2] - y;
            double d2 = ex * ex + ey * ey;
            if (out.full() && !(d2 < out.worst().key)) continue;
            out.offer(d2, i);
            if (out.full()) limit = floatLimit(out.worst().key);
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
    if (!grid.bucketed) {
        // Padded to whole vectors with points no observer is near.
        const auto padded = (count + 3) / 4 * 4;
        grid.floatX.resize(static_cast<size_t>(padded));
        grid.floatY.resize(static_cast<size_t>(padded));
        float* fx = grid.floatX.data();
        float* fy = grid.floatY.data();
        for (int32_t i = 0; i < count; ++i) {
            fx[i] = static_cast<float>(points[static_cast<std::ptrdiff_t>(i) * width + 1]);
            fy[i] = static_cast<float>(points[static_cast<std::ptrdiff_t>(i) * width + 2]);
        }
        std::fill(fx + count, fx + padded, 1e30f);
        std::fill(fy + count, fy + padded, 1e30f);
        return;
    }
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
    for (int32_t o = 0; o < observers; ++o)
        grid.bucketed ? nearestInGrid(grid, xs[o], ys[o], out[o]) : scanPoints(grid, xs[o], ys[o], out[o]);
}

}  // namespace zbenv
