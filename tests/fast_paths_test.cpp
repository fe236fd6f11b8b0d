// The shortcuts of the step against the plain computations they stand for:
// the point index against a scan of every point, the pruned clearance, the
// inline math fast paths and the exact fmod and clamp replacements.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <random>
#include <tuple>

#include "core/hot.h"
#include "core/phases.h"
#include "math/step_math.h"
#include "obstacles/obstacle_shape.h"
#include "test_support.h"
#include "zibbers/angles.h"

using namespace zbtest;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Removed {
    uint32_t id;
    double x;
    double y;
    bool operator==(const Removed&) const = default;
};

// The rim cull and pickup as a scan of every point, in creation order.
std::vector<Removed> scanCollect(const zb_world* w, std::vector<zb::Point>& points) {
    std::vector<Removed> out;
    const double limit = w->mapSize + ZB_POINT_CULL_MARGIN;
    std::vector<zb::Point> kept;
    for (const zb::Point& p : points) {
        if (std::fma(p.x, p.x, p.y * p.y) >= limit * limit) {
            out.push_back({p.id, p.x, p.y});
        } else {
            kept.push_back(p);
        }
    }
    points.clear();
    for (const zb::Point& p : kept) {
        const zb::Zibber* taker = nullptr;
        for (const zb::Zibber& z : w->zibbers) {
            const double dx = p.x - z.x;
            const double dy = p.y - z.y;
            if (z.alive == 1 && std::fma(dx, dx, dy * dy) <= (z.radius * z.radius) * 2.5) {
                taker = &z;
                break;
            }
        }
        if (taker == nullptr) {
            points.push_back(p);
        } else {
            out.push_back({p.id, std::fma(0.5, p.x - taker->x, taker->x), std::fma(0.5, p.y - taker->y, taker->y)});
        }
    }
    return out;
}

}  // namespace

TEST(FastPaths, PointIndexMatchesAScanOfEveryPoint) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> coord(-75.0, 75.0);
    std::vector<zb::Zibber> zs;
    for (int i = 0; i < 12; ++i) zs.push_back(makeZibber(200 - i, coord(rng) * 0.8, coord(rng) * 0.8));
    zs[3].alive = 0;
    auto w = worldWith(zs, 4);
    std::vector<zb::Point> reference;
    for (int step = 0; step < 300; ++step) {
        // Enough additions to fill and compact the slots several times over.
        for (int k = 0; k < 40; ++k) {
            zb::spawnPoint(*w, static_cast<uint8_t>(k & 1), coord(rng), coord(rng));
            reference.push_back(pointsOf(w.get()).back());
        }
        for (zb::Zibber& z : w->zibbers) {
            z.x += coord(rng) * 0.05;
            z.radius = 0.75 + (coord(rng) + 75.0) / 50.0;
        }
        w->mapSize = 67.0 - step * 0.2;
        w->removals.clear();
        const std::vector<Removed> expected = scanCollect(w.get(), reference);
        zb::collectPoints(*w);
        std::vector<Removed> removed;
        for (const zb::Removal& r : w->removals) removed.push_back({r.id, r.x, r.y});
        ASSERT_EQ(removed, expected) << "step " << step;
        const std::vector<zb::Point> left = pointsOf(w.get());
        ASSERT_EQ(left.size(), reference.size());
        for (size_t i = 0; i < left.size(); ++i) ASSERT_EQ(left[i].id, reference[i].id);
    }
}

TEST(FastPaths, PrunedClearanceDecidesAsTheFullOne) {
    auto w = worldWith({makeZibber(100, 5.0, 5.0), makeZibber(99, -20.0, 3.0)}, 4);
    w->obstacles = {zb::Obstacle{7, 1, 10.0, -4.0, 0.0, 0.0, 2.5, 0, 0.0, 0.0, 0.3},
                    zb::Obstacle{8, 0, -5.0, -5.0, -1.0, -12.0, 0.6, 1, 0.0, 0.0, 0.0}};
    zb::ClearanceShapes shapes;
    zb::gatherClearanceShapes(*w, shapes);
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> coord(-70.0, 70.0);
    for (int i = 0; i < 20000; ++i) {
        const double x = coord(rng);
        const double y = coord(rng);
        const double floor = coord(rng) / 7.0;
        const double full = zb::clearanceAt(*w, x, y);
        const double pruned = zb::clearanceAbove(*w, shapes, x, y, floor);
        if (full > floor) {
            ASSERT_EQ(pruned, full) << x << " " << y;
        } else {
            ASSERT_FALSE(pruned > floor) << x << " " << y;
        }
    }
}

// Around the ends and sides of hazard segments, just inside and outside
// their reach: a zibber is hit exactly where the full contact test says so.
TEST(FastPaths, PrunedObstacleContactsMatchTheFullTest) {
    const zb::Obstacle segments[] = {{1, 0, 0.0, 0.0, 10.0, 0.0, 1.5, 1, 0.0, 0.0, 0.0},
                                     {2, 0, -3.0, 4.0, 5.0, -2.0, 0.5, 1, 0.0, 0.0, 0.0},
                                     {3, 0, 7.0, 7.0, 7.0, 7.0, 1.0, 1, 0.0, 0.0, 0.0}};
    for (const zb::Obstacle& o : segments) {
        std::vector<zb::Zibber> zs;
        for (int i = 0; i < 720; ++i) {
            const double a = i * (zb::kTwoPi / 720);
            const double r = (o.radius + 1.0) * (1.0 + ((i % 5) - 2) * 1e-9);
            const double px = i % 2 ? o.ax : o.bx;
            const double py = i % 2 ? o.ay : o.by;
            zs.push_back(makeZibber(i + 1, px + r * std::cos(a), py + r * std::sin(a)));
        }
        auto w = worldWith(zs);
        w->obstacles = {o};
        zb::resolveObstacleContacts(*w);
        const double ex = o.bx - o.ax;
        const double ey = o.by - o.ay;
        for (size_t i = 0; i < zs.size(); ++i) {
            const double u = zb::segmentParam(o, ex, ey, zs[i].x, zs[i].y);
            const double dx = zs[i].x - std::fma(ex, u, o.ax);
            const double dy = zs[i].y - std::fma(ey, u, o.ay);
            const bool touches = std::fma(dx, dx, dy * dy) < (o.radius + 1.0) * (o.radius + 1.0);
            ASSERT_EQ(w->zibbers[i].growthRate != 0.0, touches) << o.id << " " << i;
        }
    }
}

// The platform-math build has no library math to compare with.
#ifndef ZIBBER_PLATFORM_MATH
// As the zibber update calls them: the CPU's widest version.
ZB_HOT void batchesAsHot(double* x, int n, double* s, double* c, double* hx, double* hy, double* h) {
    if (zb::fm::fmaPath()) {
        zb::fm::sinCosBatch<true>(x, n, s, c);
        zb::fm::hypotBatch<true>(hx, hy, 24, h);
    } else {
        zb::fm::sinCosBatch<false>(x, n, s, c);
        zb::fm::hypotBatch<false>(hx, hy, 24, h);
    }
}

TEST(FastPaths, InlineMathGivesTheLibrarysBits) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> small(-0.2, 0.2);
    std::uniform_real_distribution<double> angle(0.0, zb::kTwoPi);
    std::vector<std::pair<double, double>> pairs = {{0.0, 0.0},     {-0.0, 3.0}, {1e-320, 2e-320}, {1.0, 0x1p-27},
                                                    {1.0, 0x1p-28}, {3.0, NAN},  {INFINITY, NAN},  {1e300, 1e300}};
    for (int i = 0; i < 20000; ++i) pairs.push_back({small(rng), small(rng) * std::ldexp(1.0, -(i % 40))});
    std::vector<double> angles = {0.0, -0.0, 0x1p-28, 1e-9, 1599.0, 1601.0, 1e22, kNaN, kInf};
    for (int i = 0; i < 20000; ++i) angles.push_back(angle(rng));
    // The FMA version only where the CPU runs it as an instruction.
    const bool fma = zb::fm::fmaPath();
    for (auto [x, y] : pairs) {
        const double want = zb::cr::hypot(x, y);
        ASSERT_TRUE(sameBits(zb::fm::hypotWith<false>(x, y), want)) << x << " " << y;
        if (fma) {
            ASSERT_TRUE(sameBits(zb::fm::hypotWith<true>(x, y), want)) << x << " " << y;
        }
    }
    // In batches of 23 angles (a tail of three) and 24 pairs, as the zibber
    // update runs them, and as the plain version.
    for (size_t start = 0; start < pairs.size(); start += 24) {
        const int n = static_cast<int>(std::min<size_t>(23, angles.size() - std::min(start, angles.size())));
        double x[24], s[24], c[24], s2[24], c2[24], hx[24] = {}, hy[24] = {}, h[24], h2[24];
        for (int i = 0; i < n; ++i) x[i] = angles[start + static_cast<size_t>(i)];
        for (size_t i = 0; i < 24 && start + i < pairs.size(); ++i) std::tie(hx[i], hy[i]) = pairs[start + i];
        batchesAsHot(x, n, s, c, hx, hy, h);
        zb::fm::sinCosBatch<false>(x, n, s2, c2);
        zb::fm::hypotBatch<false>(hx, hy, 24, h2);
        for (int i = 0; i < n; ++i) {
            const zb::cr::SinCosPair want = zb::cr::sinCos(x[i]);
            ASSERT_TRUE(sameBits(s[i], want.s) && sameBits(c[i], want.c)) << x[i];
            ASSERT_TRUE(sameBits(s2[i], want.s) && sameBits(c2[i], want.c)) << x[i];
        }
        for (int i = 0; i < 24; ++i) {
            const double want = zb::cr::hypot(hx[i], hy[i]);
            ASSERT_TRUE(sameBits(h[i], want) && sameBits(h2[i], want)) << hx[i] << " " << hy[i];
        }
    }
}
#endif

// The turn is stepped its way ahead of its checks; it must end where turning
// one sub-step at a time does: arriving early, late or not at all, across 0
// and 2pi, and from right behind the target, where rounding picks the way.
TEST(FastPaths, PlannedTurnEndsAsTheStepByStepOne) {
    auto w = worldWith({makeZibber(1, 0.0, 0.0)});
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> angle(-1.0, 7.5);
    std::uniform_real_distribution<double> radius(0.75, 6.0);
    for (int i = 0; i < 20000; ++i) {
        zb::Zibber& z = w->zibbers[0];
        z = makeZibber(1, 0.0, 0.0, angle(rng));
        z.radius = radius(rng);
        const double behind = z.heading + zb::kPi + std::ldexp(static_cast<double>(i % 7) - 3.0, -50);
        z.targetHeading = i % 3 == 0 ? behind : angle(rng);
        const double maxTurn = (0.12 / z.radius) / 50.0;  // not charging, not stunned
        double h = zb::wrapAngle(z.heading);
        const double t = zb::wrapAngle(z.targetHeading);
        for (int step = 0; step < 50 && h != t; ++step) {
            const double d = zb::angleDelta(h, t);
            h = std::fabs(d) <= maxTurn ? t : zb::wrapAngle(d > 0.0 ? h + maxTurn : h - maxTurn);
        }
        w->particles.clear();
        zb::updateZibber(*w, z);
        ASSERT_TRUE(sameBits(z.heading, h)) << i;
    }
}

TEST(FastPaths, ExactReplacementsOfFmodAndClamps) {
    const double twoPi = zb::kTwoPi;
    for (double a : {0.0, -0.0, 1.0, twoPi, -twoPi, std::nextafter(twoPi, 10.0), 2 * twoPi, -2 * twoPi,
                     std::nextafter(2 * twoPi, 0.0), -std::nextafter(2 * twoPi, 0.0), 3 * twoPi, 1e300, kNaN, -kInf}) {
        const double want = std::fmod(a, twoPi);
        const double got = zb::modTwoPi(a);
        ASSERT_TRUE(sameBits(want, got) || (std::isnan(want) && std::isnan(got))) << a;
    }
    // Around every edge of wrapNear's range, and across it.
    std::vector<double> near = {-0.0, 0.0, twoPi, -zb::kPi, 3 * zb::kPi};
    for (double edge : {-twoPi, 0.0, twoPi, 2 * twoPi}) {
        double a = edge;
        for (int i = 0; i < 4; ++i) a = std::nextafter(a, -10.0);
        for (int i = 0; i < 9; ++i, a = std::nextafter(a, 20.0)) near.push_back(a);
    }
    for (int i = 1; i < 4000; ++i) near.push_back(-twoPi + i * (3 * twoPi / 4000));
    for (double a : near) {
        if (!(a > -twoPi && a < 2 * twoPi)) continue;
        ASSERT_TRUE(sameBits(zb::wrapNear(a), zb::wrapAngle(a))) << a;
    }
    // A sub-step whose velocity components are both below 2^-58 walks as one
    // at rest: the largest hypot they can have leaves 0.11 as it is.
    for (double s : {0.0, 0x1.6a09e667f3bcdp-58}) ASSERT_EQ(s - ZB_DASH_SPEED_LIMIT, -ZB_DASH_SPEED_LIMIT);
    ASSERT_TRUE(zb::fm::hypot(std::nextafter(0x1p-58, 0.0), std::nextafter(0x1p-58, 0.0)) <= 0x1.6a09e667f3bcdp-58);
    for (double t : {-1.0, -0x1p-1074, -0.0, 0.0, 0.5, 1.0, 2.0, kNaN, -kNaN, -kInf, kInf}) {
        ASSERT_TRUE(sameBits(zb::clampUnit(t), std::fmax(std::fmin(t, 1.0), 0.0))) << t;
    }
}

TEST(FastPaths, GivenBackIdsComeBackInReleaseOrderAroundTheRing) {
    zb::IdPool pool;
    zb::resetPool(pool, 12);  // ids 4 .. 11: the ring wraps many times below
    std::mt19937_64 rng(8);
    std::vector<uint32_t> held;
    std::deque<uint32_t> released;
    for (int i = 0; i < 2000; ++i) {
        if (!held.empty() && rng() % 2 == 0) {
            const size_t k = rng() % held.size();
            zb::releaseId(pool, held[k]);
            released.push_back(held[k]);
            held.erase(held.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            const bool fresh = pool.freshIds > 0;
            const auto id = zb::takeId(pool);
            if (!id) {
                ASSERT_TRUE(!fresh && released.empty());
                continue;
            }
            if (!fresh) {
                ASSERT_EQ(*id, released.front());
                released.pop_front();
            }
            held.push_back(*id);
        }
        ASSERT_EQ(zb::availableIds(pool), static_cast<int64_t>(8 - held.size()));
    }
}
