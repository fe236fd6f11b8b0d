#include "points/point_field.h"

#include <algorithm>
#include <cmath>

namespace zb {
namespace {

bool nearer(const FarEntry& a, const FarEntry& b) { return a.dist2 < b.dist2; }

size_t cellOf(const Point& p) {
    return static_cast<size_t>(gridCell(p.y)) * kGridSide + static_cast<size_t>(gridCell(p.x));
}

// Cells hold their slots in no particular order: a pickup decides by zibber
// index, never by the order it meets the points in.
void link(PointField& field, int32_t slot) {
    PointSlot& s = field.slots[static_cast<size_t>(slot)];
    int32_t& head = field.cellHead[cellOf(s.point)];
    s.prev = kNoSlot;
    s.next = head;
    if (head != kNoSlot) field.slots[static_cast<size_t>(head)].prev = slot;
    head = slot;
}

void pushFar(PointField& field, int32_t slot) {
    const Point& p = field.slots[static_cast<size_t>(slot)].point;
    const double dist2 = std::fma(p.x, p.x, p.y * p.y);
    if (std::isnan(dist2)) return;  // never at or beyond any rim
    field.farthest.push_back(FarEntry{dist2, slot});
    std::push_heap(field.farthest.begin(), field.farthest.end(), nearer);
}

// Closes the gaps, keeping creation order, and indexes the survivors afresh.
void compact(PointField& field) {
    size_t kept = 0;
    for (const PointSlot& s : field.slots) {
        if (s.removed == 0) field.slots[kept++] = s;
    }
    field.slots.resize(kept);
    std::fill(field.cellHead.begin(), field.cellHead.end(), kNoSlot);
    field.farthest.clear();
    for (size_t i = 0; i < kept; ++i) {
        link(field, static_cast<int32_t>(i));
        pushFar(field, static_cast<int32_t>(i));
    }
}

// Called with the slots full: compacts when at least a quarter are gaps,
// otherwise grows, so capacity settles once a match has ramped up.
void makeRoom(PointField& field) {
    const size_t size = field.slots.size();
    const size_t gaps = size - field.live;
    if (gaps > 0 && gaps * 4 >= size) {
        compact(field);
        return;
    }
    const size_t capacity = std::max<size_t>(64, 2 * field.slots.capacity());
    field.slots.reserve(capacity);
    field.farthest.reserve(capacity);  // never more entries than slots
}

}  // namespace

void initPointField(PointField& field) {
    field.slots.clear();
    field.farthest.clear();
    field.cellHead.assign(static_cast<size_t>(kGridSide) * kGridSide, kNoSlot);
    field.live = 0;
}

void addPoint(PointField& field, const Point& point) {
    if (field.slots.size() == field.slots.capacity()) makeRoom(field);
    const int32_t slot = static_cast<int32_t>(field.slots.size());
    field.slots.push_back(PointSlot{point, kNoSlot, kNoSlot, kNoCollector, 0});
    link(field, slot);
    pushFar(field, slot);
    ++field.live;
}

void removeSlot(PointField& field, int32_t slot) {
    PointSlot& s = field.slots[static_cast<size_t>(slot)];
    if (s.prev != kNoSlot) {
        field.slots[static_cast<size_t>(s.prev)].next = s.next;
    } else {
        field.cellHead[cellOf(s.point)] = s.next;
    }
    if (s.next != kNoSlot) field.slots[static_cast<size_t>(s.next)].prev = s.prev;
    s.removed = 1;
    --field.live;
}

void takeBeyond(PointField& field, double limit2, std::vector<int32_t>& out) {
    while (!field.farthest.empty() && field.farthest.front().dist2 >= limit2) {
        const int32_t slot = field.farthest.front().slot;
        std::pop_heap(field.farthest.begin(), field.farthest.end(), nearer);
        field.farthest.pop_back();
        if (field.slots[static_cast<size_t>(slot)].removed == 0) out.push_back(slot);
    }
}

}  // namespace zb
