// Projectiles, obstacle contact, the arena's upkeep and shrink at their exact
// limits.
#include <gtest/gtest.h>

#include <cmath>

#include "core/tuning.h"
#include "obstacles/obstacle_shape.h"
#include "test_support.h"

using namespace zbtest;

namespace {

zb::Projectile projectile(uint32_t id, double x, double y, double vx, double vy) {
    return zb::Projectile{id, x, y, vx, vy, 0, 0.3};
}

zb::Obstacle hazardDisc(double x, double y, double radius) {
    return zb::Obstacle{30, 1, x, y, 0.0, 0.0, radius, 1, 0.0, 0.0, 0.0};
}

// How many draws took the random state from `before` to `after`.
uint64_t draws(uint64_t before, uint64_t after) {
    uint64_t inverse = zb::kGoldenGamma;  // Newton's iteration for the inverse mod 2^64
    for (int i = 0; i < 6; ++i) inverse *= 2 - zb::kGoldenGamma * inverse;
    return (after - before) * inverse;
}

}  // namespace

TEST(Projectiles, rimComesFirstAndExpiryDropsPointsInside) {
    auto w = worldWith({makeZibber(100, 67.0, 0.0)}, 8);
    w->projectiles = {projectile(50, 66.5, 0.0, 0.5, 0.0), projectile(51, -66.0, 0.0, -0.5, 0.0)};
    const uint64_t before = w->rngState;
    zb::moveProjectiles(*w);
    EXPECT_EQ(draws(before, w->rngState), 48u);  // one expiry, despite touching a zibber
    EXPECT_EQ(w->zibbers[0].stunTicks, 0);
    ASSERT_EQ(w->projectiles.size(), 1u);
    EXPECT_EQ(w->projectiles[0].x, -66.5);
    EXPECT_EQ(queuedIds(w->projectileIds), (std::vector<uint32_t>{50}));
    EXPECT_GT(pointsOf(w.get()).size(), 0u);
    EXPECT_LT(pointsOf(w.get()).size(), 16u);  // about half the disc around x = 66 lies outside
    for (const zb::Point& p : pointsOf(w.get())) EXPECT_LT(std::fma(p.x, p.x, p.y * p.y), 67.0 * 67.0);
}

TEST(Projectiles, stunEveryLivingZibberTouchedAtExactReach) {
    // Squared distances exactly (1 + 0.3)^2 after the move.
    auto w = worldWith({makeZibber(100, 1.3, 0.0), makeZibber(99, -1.3, 0.0), makeZibber(98, 0.0, 1.3)});
    w->zibbers[1].stunTicks = 40;
    w->zibbers[2].alive = 0;
    w->projectiles = {projectile(50, -0.7, 0.0, 0.7, 0.0)};
    const uint64_t before = w->rngState;
    zb::moveProjectiles(*w);
    EXPECT_EQ(w->zibbers[0].stunTicks, ZB_STUN_TICKS);
    EXPECT_EQ(w->zibbers[1].stunTicks, ZB_STUN_TICKS);  // overwritten, not added
    EXPECT_EQ(w->zibbers[2].stunTicks, 0);
    EXPECT_TRUE(w->projectiles.empty());
    EXPECT_EQ(w->rngState, before);  // a hit drops nothing
}

TEST(ObstacleContact, exactTouchDiscVersusSegmentAndOnTheCentre) {
    auto w = worldWith({makeZibber(100, 13.0, 0.0), makeZibber(99, 0.0, 3.0), makeZibber(98, 5.0, 5.0)});
    w->zibbers[2].alive = 0;
    w->obstacles = {hazardDisc(10.0, 0.0, 2.0), zb::Obstacle{31, 0, -5.0, 1.0, 5.0, 1.0, 1.0, 1, 0, 0, 0},
                    hazardDisc(5.0, 5.0, 3.0)};
    zb::resolveObstacleContacts(*w);
    EXPECT_EQ(w->zibbers[0].x, 13.0);  // touching a disc: pushed by 0, still thrown
    EXPECT_EQ(w->zibbers[0].vx, zb::kObstacleBounceSpeed);
    EXPECT_EQ(w->zibbers[1].y, 3.0);  // exactly touching a segment: no contact
    EXPECT_EQ(w->zibbers[1].vy, 0.0);
    EXPECT_EQ(w->zibbers[2].x, 5.0);  // dead zibbers are never pushed
    EXPECT_EQ(w->particles.size(), 1u);

    auto c = worldWith({makeZibber(100, 4.0, 4.0)});
    c->obstacles = {hazardDisc(4.0, 4.0, 2.0)};
    zb::resolveObstacleContacts(*c);
    EXPECT_EQ(c->zibbers[0].x, 7.0);  // a zibber on the centre goes along +x
    EXPECT_EQ(c->zibbers[0].y, 4.0);
}

// Without ids nothing is added, but every draw is still made, so the rest of
// the match does not depend on pool exhaustion.
TEST(Upkeep, exhaustedPoolsAddNothingButDrawTheSame) {
    for (uint64_t seed : {1, 2, 3, 4}) {  // discs and segments draw differently
        auto w = makeWorld(seed);
        auto starved = makeWorld(seed);
        drainPool(starved->pointIds);
        drainPool(starved->obstacleIds);
        for (auto* world : {w.get(), starved.get()}) {
            zb::scatterAmbientPoints(*world);
            zb::spawnObstacle(*world);
        }
        EXPECT_EQ(starved->rngState, w->rngState);
        EXPECT_GT(w->arenaPointCount, 0);
        EXPECT_EQ(w->obstacles.size(), 1u);
        EXPECT_TRUE(pointsOf(starved.get()).empty() && starved->obstacles.empty());
        EXPECT_EQ(starved->arenaPointCount, 0);
    }
}

TEST(Upkeep, clearanceOfAZeroLengthSegmentAndTheOriginFallback) {
    auto w = makeWorld();
    w->obstacles = {zb::Obstacle{31, 0, 0.0, 20.0, 0.0, 20.0, 0.5, 1, 0, 0, 0}};
    EXPECT_NEAR(zb::clearanceAt(*w, 0.0, 23.0), 2.5, 1e-15);

    // Every candidate at -1 or worse: the obstacle lands on the origin.
    auto crowded = worldWith({makeZibber(100, 0.0, 0.0)});
    crowded->zibbers[0].radius = 200.0;
    zb::spawnObstacle(*crowded);
    const zb::Obstacle& o = crowded->obstacles[0];
    EXPECT_EQ(o.isCircle ? o.ax : (o.ax + o.bx) / 2, 0.0);
}

TEST(Upkeep, shrinkSchedule) {
    auto shrinkOnce = [](int32_t clock, double mapSize, int32_t start, int32_t alive) {
        std::vector<zb::Zibber> zs;
        for (int i = 0; i < start; ++i) {
            zs.push_back(makeZibber(200 - i, 0.0, 0.0));
            zs.back().alive = i < alive;
        }
        auto w = worldWith(std::move(zs));
        w->shrinkClock = clock;
        w->mapSize = mapSize;
        w->arenaPointCount = 100000;
        for (int i = 0; i < 20; ++i) w->obstacles.push_back(hazardDisc(1000.0, 0.0, 1.0));
        zb::upkeepArena(*w);
        EXPECT_EQ(w->shrinkClock, static_cast<int32_t>(static_cast<uint32_t>(clock) + 1u));
        return w->mapSize;
    };
    EXPECT_EQ(shrinkOnce(239, 67.0, 1, 1), 67.0);
    EXPECT_EQ(shrinkOnce(240, 67.0, 1, 1), 66.99529383883412);
    EXPECT_EQ(shrinkOnce(1000, 60.0, 2, 1), 59.97647008641352);
    EXPECT_NEAR(shrinkOnce(7199, 30.0, 1, 1), 29.9, 1e-12);
    EXPECT_NEAR(shrinkOnce(9000, 10.05, 1, 1), 10.0, 1e-12);
    EXPECT_EQ(shrinkOnce(9000, 10.0, 1, 1), 10.0);
    // After 2^31 steps the clock wraps instead of overflowing.
    EXPECT_EQ(shrinkOnce(INT32_MAX, 10.0, 1, 1), 10.0);
    EXPECT_EQ(shrinkOnce(INT32_MIN, 10.0, 1, 1), 10.0);
    // No zibbers at all (a dead fraction of 0/0): the target is the end radius
    // at once, the rate spreads the rest over the schedule.
    EXPECT_NEAR(shrinkOnce(240, 67.0, 0, 0), std::sqrt(4489.0 - 4389.0 / 6959.0), 1e-12);
}
