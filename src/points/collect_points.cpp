#include <zibber.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/hot.h"
#include "core/phases.h"
#include "points/reach_filter.h"

namespace zb {
namespace {

void removePoint(World& world, const Point& p, double x, double y) {
    world.removals.push_back(Removal{p.id, x, y});
    releaseId(world.pointIds, p.id);
    if (p.ambient != 0) --world.arenaPointCount;
}

// Points never move; they fall outside when the arena shrinks.
void cullBeyondRim(World& world) {
    const double limit = world.mapSize + ZB_POINT_CULL_MARGIN;
    const double limit2 = limit * limit;
    size_t kept = 0;
    for (size_t i = 0; i < world.points.size(); ++i) {
        const Point p = world.points[i];
        if (std::fma(p.x, p.x, p.y * p.y) >= limit2) {
            removePoint(world, p, p.x, p.y);
        } else {
            world.points[kept++] = p;
        }
    }
    world.points.resize(kept);
}

// Points bucketed by square cells, so each zibber looks only at the points
// near it instead of every point looking at every zibber.
struct PointGrid {
    static constexpr double kCell = 8.0;
    double originX = 0.0;
    double originY = 0.0;
    int32_t side = 1;
    std::vector<uint32_t> cellStart;  // side * side + 1 offsets into order
    std::vector<uint32_t> order;      // point indices, cell by cell, ascending

    // Clamped, so anything outside (or NaN) lands in a border cell; clamping is
    // monotone, so a range query over clamped ends still covers every point.
    int32_t cellOf(double v, double origin) const {
        const double c = std::floor((v - origin) / kCell);
        if (!(c >= 0.0)) return 0;
        return c >= side - 1 ? side - 1 : static_cast<int32_t>(c);
    }
};

void buildGrid(const World& world, PointGrid& grid) {
    const double half = world.mapSize + ZB_POINT_CULL_MARGIN;  // no point lies beyond after the cull
    grid.originX = -half;
    grid.originY = -half;
    const double cells = std::ceil(2.0 * half / PointGrid::kCell);
    grid.side = cells >= 1.0 && cells <= 256.0 ? static_cast<int32_t>(cells) : (cells > 256.0 ? 256 : 1);
    const size_t cellCount = static_cast<size_t>(grid.side) * static_cast<size_t>(grid.side);
    grid.cellStart.assign(cellCount + 1, 0);
    std::vector<uint32_t> cellOfPoint(world.points.size());
    for (size_t i = 0; i < world.points.size(); ++i) {
        const Point& p = world.points[i];
        const uint32_t c =
            static_cast<uint32_t>(grid.cellOf(p.y, grid.originY) * grid.side + grid.cellOf(p.x, grid.originX));
        cellOfPoint[i] = c;
        ++grid.cellStart[c + 1];
    }
    for (size_t c = 0; c < cellCount; ++c) grid.cellStart[c + 1] += grid.cellStart[c];
    grid.order.resize(world.points.size());
    std::vector<uint32_t> next(grid.cellStart.begin(), grid.cellStart.end() - 1);
    for (size_t i = 0; i < world.points.size(); ++i) grid.order[next[cellOfPoint[i]]++] = static_cast<uint32_t>(i);
}

constexpr uint32_t kNoCollector = UINT32_MAX;

// The lowest-index living zibber in reach (sqrt(2.5) radii) takes a point:
// zibbers claim in index order and never take a point already claimed.
void claimPoints(const World& world, const std::vector<ZibberReach>& reaches, std::vector<uint32_t>& collector) {
    PointGrid grid;
    buildGrid(world, grid);
    constexpr double kSlack = 1e-6;  // covers the rounding of the cell bounds
    for (const ZibberReach& r : reaches) {
        const int32_t x0 = grid.cellOf(r.x - r.box - kSlack, grid.originX);
        const int32_t x1 = grid.cellOf(r.x + r.box + kSlack, grid.originX);
        const int32_t y0 = grid.cellOf(r.y - r.box - kSlack, grid.originY);
        const int32_t y1 = grid.cellOf(r.y + r.box + kSlack, grid.originY);
        for (int32_t cy = y0; cy <= y1; ++cy) {
            for (int32_t cx = x0; cx <= x1; ++cx) {
                const size_t c = static_cast<size_t>(cy) * static_cast<size_t>(grid.side) + static_cast<size_t>(cx);
                for (uint32_t k = grid.cellStart[c]; k < grid.cellStart[c + 1]; ++k) {
                    const uint32_t i = grid.order[k];
                    if (collector[i] != kNoCollector) continue;
                    const double dx = world.points[i].x - r.x;
                    const double dy = world.points[i].y - r.y;
                    if (outsideBox(r, dx, dy)) continue;
                    if (std::fma(dx, dx, dy * dy) <= r.limit) collector[i] = r.index;
                }
            }
        }
    }
}

void pickUp(World& world) {
    std::vector<ZibberReach> reaches;
    collectReaches(world, 2.5, reaches);
    if (reaches.empty() || world.points.empty()) return;
    std::vector<uint32_t> collector(world.points.size(), kNoCollector);
    claimPoints(world, reaches, collector);
    size_t kept = 0;
    for (size_t i = 0; i < world.points.size(); ++i) {
        const Point p = world.points[i];
        if (collector[i] == kNoCollector) {
            world.points[kept++] = p;
            continue;
        }
        Zibber& z = world.zibbers[collector[i]];
        z.score = addScore(z.score, 1);
        const double dx = p.x - z.x;
        const double dy = p.y - z.y;
        removePoint(world, p, std::fma(0.5, dx, z.x), std::fma(0.5, dy, z.y));
    }
    world.points.resize(kept);
}

}  // namespace

ZB_HOT void collectPoints(World& world) {
    cullBeyondRim(world);
    pickUp(world);
}

}  // namespace zb
