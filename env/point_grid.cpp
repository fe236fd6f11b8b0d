#include "env/point_grid.h"

#include <zibber.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>  // defines __GLIBC__ where it applies

#if defined(__x86_64__) && defined(__GLIBC__) && !defined(__AVX2__) && defined(__GNUC__) && !defined(ZIBBER_NO_CLONES)
#define ZBENV_WIDE __attribute__((target_clones("avx2", "default"), flatten))
#else
#define ZBENV_WIDE
#endif

namespace zbenv {

namespace {

// About this many points per cell balances cells visited against points tested.
constexpr double kPointsPerCell = 2.0;
constexpr int32_t kMaxSide = 64;
// From this many observers on, filling the grid may pay (measured on about 550
// points: the shared pass costs less at 8 observers, 217 M instructions
// against 337 M, and still at 16, 259 M against 274 M).
constexpr int32_t kGridObservers = 17;
// Far above the rounding of a coordinate into a cell: keeps the ring bound on
// the safe side.
constexpr double kBoundSlack = 1e-9;
// How far last step's k-th nearest point is trusted to stay (see guessReach).
constexpr double kReachGrowth = 1.3;
constexpr double kReachSlack = 1.0;

// A coordinate outside the grid goes to the edge cell on its side, which keeps
// every ring bound below true; so does a non-finite one.
int32_t cellOf(double v, const PointGrid& grid) {
    double c = (v - grid.origin) * grid.invCell;
    c = c > 0.0 ? c : 0.0;
    c = c < grid.lastCell ? c : grid.lastCell;
    return static_cast<int32_t>(c);
}

// Eight points per vector in float: a cheap first test that lets through
// every point the exact test in double could keep.
using Float4 = float __attribute__((vector_size(16)));
using Float8 = float __attribute__((vector_size(32)));
using Mask4 = int32_t __attribute__((vector_size(16)));
using Mask8 = int32_t __attribute__((vector_size(32)));
// A pair of coordinates read in place from the export.
using Double2 = double __attribute__((vector_size(16), aligned(8), may_alias));
constexpr int32_t kLanes = 8;

// Bit j set when lane j is.
int32_t laneBits(Mask4 m) {
#if defined(__SSE__)
    return __builtin_ia32_movmskps(reinterpret_cast<Float4>(m));
#else
    return (m[0] & 1) | (m[1] & 2) | (m[2] & 4) | (m[3] & 8);
#endif
}
Mask4 lowHalf(Mask8 m) { return __builtin_shufflevector(m, m, 0, 1, 2, 3); }
Mask4 highHalf(Mask8 m) { return __builtin_shufflevector(m, m, 4, 5, 6, 7); }
bool anyLane(Mask8 m) { return laneBits(lowHalf(m) | highHalf(m)) != 0; }
int32_t laneBits(Mask8 m) { return laneBits(lowHalf(m)) | laneBits(highHalf(m)) << 4; }

// Float coordinates are off by at most 70 * 2^-24 each, so a float squared
// distance (up to 4 * 140^2) is off by far less than this.
float floatLimit(double key) { return static_cast<float>(key * (1.0 + 1e-5) + 0.05); }

// The coordinates of points first .. first + 7 in float, straight from the
// export; lanes past the end hold a point no observer is near.
[[gnu::always_inline]] inline void loadBlock(const PointGrid& grid, int32_t first, Float8& x, Float8& y) {
    const double* p = grid.source + static_cast<std::ptrdiff_t>(first) * grid.width + 1;
    if (first + kLanes <= grid.count) {
        const std::ptrdiff_t w = grid.width;
        // Points j and j + 1 as x, y, x, y.
        const auto two = [&](std::ptrdiff_t j) {
            const Double2 a = *reinterpret_cast<const Double2*>(p + j * w);
            const Double2 b = *reinterpret_cast<const Double2*>(p + (j + 1) * w);
            return __builtin_convertvector(__builtin_shufflevector(a, b, 0, 1, 2, 3), Float4);
        };
        const Float4 q0 = two(0), q1 = two(2), q2 = two(4), q3 = two(6);
        const Float8 lo = __builtin_shufflevector(q0, q1, 0, 1, 2, 3, 4, 5, 6, 7);
        const Float8 hi = __builtin_shufflevector(q2, q3, 0, 1, 2, 3, 4, 5, 6, 7);
        x = __builtin_shufflevector(lo, hi, 0, 2, 4, 6, 8, 10, 12, 14);
        y = __builtin_shufflevector(lo, hi, 1, 3, 5, 7, 9, 11, 13, 15);
        return;
    }
    x = y = Float8{} + 1e30f;
    for (int32_t j = 0; first + j < grid.count; ++j) {
        x[j] = static_cast<float>(p[j * grid.width]);
        y[j] = static_cast<float>(p[j * grid.width + 1]);
    }
}

// A guess at the squared distance of an observer's k-th nearest point from
// last step's: it moves, and the points it eats leave the next ones farther.
double guessReach(double reach) { return reach * kReachGrowth + kReachSlack; }

// The exact test of the lanes of a block that passed the float one; returns
// the float limit from then on.
[[gnu::noinline]] float offerLanes(const PointGrid& grid, int32_t first, int32_t bits, double x, double y, float limit,
                                   NearestK& out) {
    for (; bits != 0; bits &= bits - 1) {
        const int32_t i = first + __builtin_ctz(static_cast<unsigned>(bits));
        const double* p = grid.source + static_cast<std::ptrdiff_t>(i) * grid.width;
        double ex = p[1] - x, ey = p[2] - y;
        double d2 = ex * ex + ey * ey;
        if (out.full() && !(d2 < out.worst().key)) continue;
        out.offer(d2, i);
        if (out.full()) limit = std::min(limit, floatLimit(out.worst().key));
    }
    return limit;
}

// One pass over the points in index order for N observers together, so a tie
// never displaces an earlier point and each block is converted once. An
// observer starts from the float limit of its guess, and is settled when it
// ends with k points no farther than the guess: every point the float test
// turned away was then farther than its k-th.
template <int32_t N>
void scanTogether(const PointGrid& grid, const double* xs, const double* ys, const double* guess, NearestK* out,
                  bool* settled) {
    Float8 ox[N], oy[N], limit[N];
    for (int32_t o = 0; o < N; ++o) {
        ox[o] = Float8{} + static_cast<float>(xs[o]);
        oy[o] = Float8{} + static_cast<float>(ys[o]);
        limit[o] = Float8{} + floatLimit(guess[o]);
    }
    for (int32_t first = 0; first < grid.count; first += kLanes) {
        Float8 bx, by;
        loadBlock(grid, first, bx, by);
#pragma GCC unroll 4
        for (int32_t o = 0; o < N; ++o) {
            const Float8 dx = bx - ox[o], dy = by - oy[o];
            const Mask8 near = dx * dx + dy * dy < limit[o];
            if (anyLane(near)) [[unlikely]]
                limit[o] = Float8{} + offerLanes(grid, first, laneBits(near), xs[o], ys[o], limit[o][0], out[o]);
        }
    }
    for (int32_t o = 0; o < N; ++o)
        settled[o] = guess[o] == INFINITY || (out[o].full() && out[o].worst().key <= guess[o]);
}

// Observers four at a time, as many as the registers hold; an observer whose
// guess fell short scans again with none. Where the loader picks between
// clones, this is built twice and CPUs with AVX2 run a clone that tests eight
// points per instruction instead of four: float arithmetic, same bits.
ZBENV_WIDE void scanPoints(const PointGrid& grid, const double* xs, const double* ys, const double* reach,
                           int32_t observers, NearestK* out) {
    constexpr int32_t kTogether = 4;
    for (int32_t base = 0; base < observers; base += kTogether) {
        double guess[kTogether];
        bool settled[kTogether];
        const int32_t n = std::min(kTogether, observers - base);
        for (int32_t o = 0; o < n; ++o) guess[o] = guessReach(reach[base + o]);
        const double *x = xs + base, *y = ys + base;
        switch (n) {
            case 1: scanTogether<1>(grid, x, y, guess, out + base, settled); break;
            case 2: scanTogether<2>(grid, x, y, guess, out + base, settled); break;
            case 3: scanTogether<3>(grid, x, y, guess, out + base, settled); break;
            default: scanTogether<4>(grid, x, y, guess, out + base, settled); break;
        }
        for (int32_t o = 0; o < n; ++o) {
            if (settled[o]) continue;
            constexpr double kNone = INFINITY;
            out[base + o].clear(out[base + o].k);
            scanTogether<1>(grid, x + o, y + o, &kNone, out + base + o, settled + o);
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
    if (!grid.bucketed) return;  // scanned in place
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
                   double* reach, NearestK* out) {
    for (int32_t o = 0; o < observers; ++o) out[o].clear(k);
    if (k > 0 && grid.count > 0) {
        if (grid.bucketed) {
            for (int32_t o = 0; o < observers; ++o) nearestInGrid(grid, xs[o], ys[o], out[o]);
        } else {
            scanPoints(grid, xs, ys, reach, observers, out);
        }
    }
    for (int32_t o = 0; o < observers; ++o) reach[o] = k > 0 && out[o].full() ? out[o].worst().key : INFINITY;
}

}  // namespace zbenv
