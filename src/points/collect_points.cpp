#include <zibber.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/hot.h"
#include "core/phases.h"
#include "points/reach_filter.h"

namespace zb {
namespace {

void dropPoint(World& world, int32_t slot, double x, double y) {
    const Point p = world.points.slots[static_cast<size_t>(slot)].point;
    world.removals.push_back(Removal{p.id, x, y});
    releaseId(world.pointIds, p.id);
    if (p.ambient != 0) --world.arenaPointCount;
    removeSlot(world.points, slot);
}

// Points never move; they fall outside when the arena shrinks. Removals go
// out in creation order, whatever order the index finds them in.
void cullBeyondRim(World& world) {
    const double limit = world.mapSize + ZB_POINT_CULL_MARGIN;
    std::vector<int32_t>& beyond = world.scratch.slots;
    beyond.clear();
    takeBeyond(world.points, limit * limit, beyond);
    std::sort(beyond.begin(), beyond.end());
    for (int32_t slot : beyond) {
        const Point& p = world.points.slots[static_cast<size_t>(slot)].point;
        dropPoint(world, slot, p.x, p.y);
    }
}

// The lowest-index living zibber in reach (sqrt(2.5) radii) takes a point:
// zibbers claim in index order and never take a point already claimed.
void claimPoints(World& world, std::vector<int32_t>& claimed) {
    PointField& field = world.points;
    constexpr double kSlack = 1e-6;  // covers the rounding of the cell bounds
    for (const ZibberReach& r : world.scratch.reaches) {
        const int32_t x0 = gridCell(r.x - r.box - kSlack);
        const int32_t x1 = gridCell(r.x + r.box + kSlack);
        const int32_t y0 = gridCell(r.y - r.box - kSlack);
        const int32_t y1 = gridCell(r.y + r.box + kSlack);
        for (int32_t cy = y0; cy <= y1; ++cy) {
            for (int32_t cx = x0; cx <= x1; ++cx) {
                int32_t slot = field.cellHead[static_cast<size_t>(cy) * kGridSide + static_cast<size_t>(cx)];
                while (slot != kNoSlot) {
                    PointSlot& s = field.slots[static_cast<size_t>(slot)];
                    const int32_t next = s.next;
                    const double dx = s.point.x - r.x;
                    const double dy = s.point.y - r.y;
                    if (s.collector == kNoCollector && !outsideBox(r, dx, dy) && std::fma(dx, dx, dy * dy) <= r.limit) {
                        s.collector = r.index;
                        claimed.push_back(slot);
                    }
                    slot = next;
                }
            }
        }
    }
}

void pickUp(World& world) {
    collectReaches(world, 2.5, world.scratch.reaches);
    if (world.scratch.reaches.empty() || world.points.live == 0) return;
    std::vector<int32_t>& claimed = world.scratch.slots;
    claimed.clear();
    claimPoints(world, claimed);
    std::sort(claimed.begin(), claimed.end());
    for (int32_t slot : claimed) {
        const PointSlot& s = world.points.slots[static_cast<size_t>(slot)];
        Zibber& z = world.zibbers[s.collector];
        z.score = addScore(z.score, 1);
        const double dx = s.point.x - z.x;
        const double dy = s.point.y - z.y;
        dropPoint(world, slot, std::fma(0.5, dx, z.x), std::fma(0.5, dy, z.y));
    }
}

}  // namespace

ZB_HOT void collectPoints(World& world) {
    cullBeyondRim(world);
    pickUp(world);
}

}  // namespace zb
