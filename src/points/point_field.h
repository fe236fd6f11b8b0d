// The arena's points, indexed once as they are made instead of every step:
// points never move, so a grid of fixed cells finds those near a zibber and a
// heap ordered by distance from the centre finds those beyond a shrinking rim,
// neither visiting every point.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/records.h"

namespace zb {

inline constexpr int32_t kNoSlot = -1;
inline constexpr uint32_t kNoCollector = UINT32_MAX;

// A point in creation order. A removed point stays as a gap until the slots
// are compacted, so no removal shifts the others.
struct PointSlot {
    Point point;
    int32_t next;        // the next slot in the same grid cell
    int32_t prev;        // the previous one, or kNoSlot at the head of the cell
    uint32_t collector;  // the zibber claiming it during a pickup
    uint8_t removed;
};

struct FarEntry {
    double dist2;  // fma(x, x, y * y), exactly as the rim cull computes it
    int32_t slot;
};

struct PointField {
    std::vector<PointSlot> slots;
    std::vector<int32_t> cellHead;   // kGridSide * kGridSide lists of slots
    std::vector<FarEntry> farthest;  // max-heap on dist2, may hold removed slots
    uint32_t live = 0;
};

// Cells cover the arena at its start and the cull margin; anything outside,
// or NaN, is clamped into a border cell, which is monotone, so a range of
// cells over clamped ends still covers every point in the range.
inline constexpr double kGridHalf = 72.0;
inline constexpr double kGridCell = 4.0;
inline constexpr int32_t kGridSide = 36;

inline int32_t gridCell(double v) {
    const double c = std::floor((v + kGridHalf) * (1.0 / kGridCell));
    if (!(c >= 0.0)) return 0;
    return c >= kGridSide - 1 ? kGridSide - 1 : static_cast<int32_t>(c);
}

void initPointField(PointField& field);
void addPoint(PointField& field, const Point& point);
// Unlinks the slot from the grid and leaves a gap; its heap entry goes stale.
void removeSlot(PointField& field, int32_t slot);
// Slots (not yet removed) at or beyond squared distance limit2 from the centre,
// taken out of the heap and appended to out in no particular order.
void takeBeyond(PointField& field, double limit2, std::vector<int32_t>& out);

template <typename Visit>
void forEachPoint(const PointField& field, Visit visit) {
    for (const PointSlot& s : field.slots) {
        if (s.removed == 0) visit(s.point);
    }
}

}  // namespace zb
