#include "env/point_mirror.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace zbenv {

namespace {

// Points lie within the arena's first rim plus the cull margin (the rim only
// shrinks); the grid covers that square. Points dropped beyond it until the
// next cull go to the edge cells.
constexpr double kHalf = ZB_START_MAP_SIZE + ZB_POINT_CULL_MARGIN + 1.0;
// Cells about 6 wide: the arena holds a point per 25 square units or so, and
// a disc holding the nearest six then touches a dozen cells.
constexpr int32_t kSide = 24;
constexpr double kCell = 2.0 * kHalf / kSide;
constexpr double kInvCell = kSide / (2.0 * kHalf);
// Far above the rounding of a coordinate into a cell: keeps the ring bound on
// the safe side.
constexpr double kBoundSlack = 1e-9;
// Fill the grid again past this many added points, or past this many gaps
// and this share of them.
constexpr size_t kMostFresh = 24;
constexpr int32_t kFewestGaps = 32;
constexpr int32_t kGapsPerLive = 4;
// With this few points, looking at each costs less than walking the rings.
constexpr int32_t kFewPoints = 32;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A coordinate outside the grid goes to the edge cell on its side, which keeps
// every ring bound below true; so does a non-finite one.
int32_t cellOf(double v) {
    double c = (v + kHalf) * kInvCell;
    c = c > 0.0 ? c : 0.0;
    c = c < kSide - 1 ? c : kSide - 1;
    return static_cast<int32_t>(c);
}

constexpr int32_t kCells = kSide * kSide;

int32_t cellOf(double x, double y) { return cellOf(y) * kSide + cellOf(x); }

// Sorts the gathered points into the grid's cells.
void fillGrid(PointMirror& m, MirrorScratch& sc) {
    const std::vector<FreshPoint>& points = sc.gather;
    const auto count = static_cast<int32_t>(points.size());
    std::vector<int32_t>& start = m.cellStart;
    start.assign(kCells + 1, 0);
    for (const FreshPoint& p : points) ++start[static_cast<size_t>(p.cell) + 1];
    for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    sc.fill.assign(start.begin(), start.end() - 1);
    m.grid.resize(points.size());
    m.gridOrder.resize(points.size());
    m.gridId.resize(points.size());
    for (const FreshPoint& p : points) {
        const int32_t at = sc.fill[static_cast<size_t>(p.cell)]++;
        m.grid[static_cast<size_t>(at)] = {p.x, p.y};
        m.gridOrder[static_cast<size_t>(at)] = p.order;
        m.gridId[static_cast<size_t>(at)] = p.id;
    }
    m.fresh.clear();
    m.live = count;
    m.gaps = 0;
}

// The grid again without its gaps and with the fresh points in their cells:
// the grid is in cell order already, so one pass merges them in.
void refill(PointMirror& m, MirrorScratch& sc) {
    std::vector<FreshPoint>& fresh = m.fresh;
    std::sort(fresh.begin(), fresh.end(), [](const FreshPoint& a, const FreshPoint& b) { return a.cell < b.cell; });
    const auto live = static_cast<size_t>(m.live);
    sc.grid.resize(live);
    sc.gridOrder.resize(live);
    sc.gridId.resize(live);
    sc.cellStart.resize(kCells + 1);
    int32_t at = 0;
    const auto put = [&](double x, double y, int64_t order, int32_t id) {
        sc.grid[static_cast<size_t>(at)] = {x, y};
        sc.gridOrder[static_cast<size_t>(at)] = order;
        sc.gridId[static_cast<size_t>(at++)] = id;
    };
    size_t f = 0;
    for (int32_t c = 0; c < kCells; ++c) {
        sc.cellStart[static_cast<size_t>(c)] = at;
        for (int32_t i = m.cellStart[static_cast<size_t>(c)]; i < m.cellStart[static_cast<size_t>(c) + 1]; ++i) {
            const auto from = static_cast<size_t>(i);
            if (m.gridOrder[from] >= 0) put(m.grid[from].x, m.grid[from].y, m.gridOrder[from], m.gridId[from]);
        }
        for (; f < fresh.size() && fresh[f].cell == c; ++f) put(fresh[f].x, fresh[f].y, fresh[f].order, fresh[f].id);
    }
    sc.cellStart[kCells] = at;
    std::swap(m.grid, sc.grid);
    std::swap(m.gridOrder, sc.gridOrder);
    std::swap(m.gridId, sc.gridId);
    std::swap(m.cellStart, sc.cellStart);
    fresh.clear();
    m.gaps = 0;
}

// The World's point export: the caller's copy when it has one, else read.
const double* exportedPoints(const zb_world* world, int32_t count, const double* exported, MirrorScratch& sc) {
    if (exported) return exported;
    sc.points.resize(static_cast<size_t>(count) * ZB_POINT_WIDTH);
    if (count > 0) zb_points(world, sc.points.data());
    return sc.points.data();
}

FreshPoint pointOfRow(const double* row, int64_t order) {
    const double x = row[ZB_POINT_X], y = row[ZB_POINT_Y];
    return {x, y, order, static_cast<int32_t>(row[ZB_POINT_ID]), cellOf(x, y)};
}

// Where the grid holds id, or -1. Blocks of ids are compared whole, which
// the compiler does many at a time; a removal costs a few hundred instructions.
int32_t findInGrid(const std::vector<int32_t>& ids, int32_t id) {
    constexpr size_t kBlock = 16;
    const size_t n = ids.size(), whole = n - n % kBlock;
    for (size_t b = 0; b < whole; b += kBlock) {
        bool any = false;
        for (size_t j = 0; j < kBlock; ++j) any |= ids[b + j] == id;
        if (!any) continue;
        for (size_t j = 0;; ++j)
            if (ids[b + j] == id) return static_cast<int32_t>(b + j);
    }
    for (size_t i = whole; i < n; ++i)
        if (ids[i] == id) return static_cast<int32_t>(i);
    return -1;
}

bool deletePoint(PointMirror& m, double idValue) {
    if (!(idValue >= 0 && idValue <= INT32_MAX)) return false;
    const auto id = static_cast<int32_t>(idValue);
    std::vector<FreshPoint>& fresh = m.fresh;
    for (size_t i = 0; i < fresh.size(); ++i) {
        if (fresh[i].id != id) continue;
        fresh[i] = fresh.back();
        fresh.pop_back();
        --m.live;
        return true;
    }
    const int32_t at = findInGrid(m.gridId, id);
    if (at < 0) return false;
    const auto i = static_cast<size_t>(at);
    m.grid[i] = {kNaN, kNaN};
    m.gridOrder[i] = -1;
    m.gridId[i] = -1;  // ids are never negative, so it matches no later removal
    ++m.gaps;
    --m.live;
    return true;
}

}  // namespace

void fillPointMirror(const double* rows, int32_t count, PointMirror& m, MirrorScratch& sc) {
    sc.gather.clear();
    for (int32_t i = 0; i < count; ++i)
        sc.gather.push_back(pointOfRow(rows + static_cast<std::ptrdiff_t>(i) * ZB_POINT_WIDTH, i));
    m.nextOrder = count;
    fillGrid(m, sc);
}

void loadPointMirror(const zb_world* world, PointMirror& m, MirrorScratch& sc, const double* exported) {
    const int32_t count = zb_num_points(world);
    fillPointMirror(exportedPoints(world, count, exported, sc), count, m, sc);
}

bool syncPointMirror(const zb_world* world, PointMirror& m, MirrorScratch& sc, const double* exported) {
    const int32_t removed = zb_num_removals(world);
    if (removed > 0) {
        sc.removals.resize(static_cast<size_t>(removed) * ZB_REMOVAL_WIDTH);
        zb_removals(world, sc.removals.data());
        for (int32_t r = 0; r < removed; ++r) {
            if (deletePoint(m, sc.removals[static_cast<size_t>(r) * ZB_REMOVAL_WIDTH + ZB_REMOVAL_ID])) continue;
            loadPointMirror(world, m, sc, exported);
            return false;
        }
    }
    // Deleted points are all among the removals, so the rest of the change
    // in number is the points appended.
    const int32_t count = zb_num_points(world);
    const int32_t added = count - m.live;
    if (added < 0) {
        loadPointMirror(world, m, sc, exported);
        return false;
    }
    if (added > 0) {
        const double* rows = exportedPoints(world, count, exported, sc);
        const size_t first = m.fresh.size();
        m.fresh.resize(first + static_cast<size_t>(added));
        for (int32_t i = 0; i < added; ++i) {
            const double* row = rows + static_cast<std::ptrdiff_t>(count - added + i) * ZB_POINT_WIDTH;
            FreshPoint& p = m.fresh[first + static_cast<size_t>(i)];
            p = pointOfRow(row, m.nextOrder++);
        }
        m.live += added;
    }
    if (m.fresh.size() > kMostFresh || m.gaps > m.live / kGapsPerLive + kFewestGaps) refill(m, sc);
    return true;
}

namespace {

// How far last step's k-th nearest point is trusted to stay: the observer
// moves, and the points it eats leave the next ones farther.
constexpr double kReachGrowth = 1.3;
constexpr double kReachSlack = 1.0;

// Offers the points of grid[from, to) no farther than limit, nor than the
// k-th found; a gap's NaN fails the test.
[[gnu::always_inline]] inline void offerRange(const PointMirror& m, int32_t from, int32_t to, double x, double y,
                                              double& limit, NearestK& out) {
    const MirrorPoint* grid = m.grid.data();
    for (int32_t at = from; at < to; ++at) {
        const double dx = grid[at].x - x, dy = grid[at].y - y;
        const double d2 = dx * dx + dy * dy;
        if (!(d2 <= limit)) continue;
        out.offer(d2, at, m.gridOrder[static_cast<size_t>(at)]);
        if (out.full()) limit = std::min(limit, out.worst().key);
    }
}

// The square of cells within one of the observer's, row by row, then rings of
// cells around it until every point not yet seen lies beyond the limit.
void offerRings(const PointMirror& m, double x, double y, double limit, NearestK& out) {
    const int32_t* start = m.cellStart.data();
    const int32_t qx = cellOf(x), qy = cellOf(y);
    for (int32_t r = 1;; ++r) {
        const int32_t x0 = qx - r, x1 = qx + r, y0 = qy - r, y1 = qy + r;
        const int32_t cx0 = std::max(x0, 0), cx1 = std::min(x1, kSide - 1);
        for (int32_t cy = std::max(y0, 0); cy <= std::min(y1, kSide - 1); ++cy) {
            // Cells of one row are contiguous.
            const int32_t* row = start + static_cast<std::ptrdiff_t>(cy) * kSide;
            if (r == 1 || cy == y0 || cy == y1) {
                offerRange(m, row[cx0], row[cx1 + 1], x, y, limit, out);
            } else {
                if (x0 >= 0) offerRange(m, row[x0], row[x0 + 1], x, y, limit, out);
                if (x1 < kSide) offerRange(m, row[x1], row[x1 + 1], x, y, limit, out);
            }
        }
        double bound = INFINITY;
        if (x0 > 0) bound = std::min(bound, x - (-kHalf + x0 * kCell));
        if (x1 < kSide - 1) bound = std::min(bound, -kHalf + (x1 + 1) * kCell - x);
        if (y0 > 0) bound = std::min(bound, y - (-kHalf + y0 * kCell));
        if (y1 < kSide - 1) bound = std::min(bound, -kHalf + (y1 + 1) * kCell - y);
        if (bound == INFINITY) return;  // the square covers the whole grid
        const double safe = bound - kBoundSlack;
        if (safe > 0.0 && safe * safe > limit) return;
    }
}

// Every cell a disc of squared radius limit around the observer touches,
// row by row: points outside them lie beyond the limit.
void offerBox(const PointMirror& m, double x, double y, double limit, NearestK& out) {
    // Above the rounding of the square root and of the sums.
    const double reach = std::sqrt(limit) * (1.0 + 1e-12) + kBoundSlack;
    const int32_t cx0 = cellOf(x - reach), cx1 = cellOf(x + reach);
    const int32_t cy0 = cellOf(y - reach), cy1 = cellOf(y + reach);
    for (int32_t cy = cy0; cy <= cy1; ++cy) {
        const int32_t* row = m.cellStart.data() + static_cast<std::ptrdiff_t>(cy) * kSide;
        offerRange(m, row[cx0], row[cx1 + 1], x, y, limit, out);
    }
}

// The nearest no farther than limit (INFINITY: all of them).
void offerWithin(const PointMirror& m, double x, double y, double limit, NearestK& out) {
    for (size_t i = 0; i < m.fresh.size(); ++i) {
        const FreshPoint& p = m.fresh[i];
        const double dx = p.x - x, dy = p.y - y;
        const double d2 = dx * dx + dy * dy;
        if (!(d2 <= limit)) continue;
        out.offer(d2, -2 - static_cast<int32_t>(i), p.order);
        if (out.full()) limit = std::min(limit, out.worst().key);
    }
    if (m.live <= kFewPoints || m.live <= out.k) {
        offerRange(m, 0, static_cast<int32_t>(m.grid.size()), x, y, limit, out);
    } else if (limit < INFINITY) {
        offerBox(m, x, y, limit, out);
    } else {
        offerRings(m, x, y, limit, out);
    }
}

}  // namespace

void nearestPoints(const PointMirror& m, double x, double y, int32_t k, double& reach, NearestK& out) {
    out.clear(k);
    if (k > 0 && m.live > 0) {
        // Points beyond the guess are never offered; if fewer than k lie
        // within it, look again without one.
        const double guess = reach * kReachGrowth + kReachSlack;
        offerWithin(m, x, y, guess, out);
        if (!out.full() && guess != INFINITY) {
            out.clear(k);
            offerWithin(m, x, y, INFINITY, out);
        }
    }
    reach = k > 0 && out.full() ? out.worst().key : INFINITY;
}

}  // namespace zbenv
