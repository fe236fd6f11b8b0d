// Projectile flight, obstacle contact, arena upkeep, obstacle spawning and a
// whole match played to its end.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "core/tuning.h"
#include "obstacles/obstacle_shape.h"
#include "test_support.h"

using namespace zbtest;

namespace {

WorldPtr worldWith(std::vector<zb::Zibber> zibbers) {
    WorldPtr w = makeWorld(8);
    addZibbers(w.get(), std::move(zibbers));
    return w;
}

zb::Projectile projectile(uint32_t id, double x, double y, double vx, double vy) {
    return zb::Projectile{id, x, y, vx, vy, 0, 0.3};
}

zb::Obstacle hazardDisc(double x, double y, double radius) {
    return zb::Obstacle{30, 1, x, y, 0.0, 0.0, radius, 1, 0.0, 0.0, 0.0};
}

// How many draws took the random state from `before` to `after`.
uint64_t draws(uint64_t before, uint64_t after) {
    uint64_t inverse = zb::kGoldenGamma;
    for (int i = 0; i < 6; ++i) inverse *= 2 - zb::kGoldenGamma * inverse;
    return (after - before) * inverse;
}

}  // namespace

TEST(Projectiles, RimComesFirstAndExpiryDropsPointsInside) {
    auto w = worldWith({makeZibber(100, 67.0, 0.0)});
    w->projectiles = {projectile(50, 66.5, 0.0, 0.5, 0.0), projectile(51, -66.0, 0.0, -0.5, 0.0)};
    const uint64_t before = w->rngState;
    zb::moveProjectiles(*w);
    EXPECT_EQ(draws(before, w->rngState), 48u);  // one expiry, despite touching a zibber
    EXPECT_EQ(w->zibbers[0].stunTicks, 0);
    ASSERT_EQ(w->projectiles.size(), 1u);
    EXPECT_EQ(w->projectiles[0].id, 51u);
    EXPECT_EQ(w->projectiles[0].x, -66.5);
    EXPECT_EQ(queuedIds(w->projectileIds), (std::vector<uint32_t>{50}));
    EXPECT_GT(pointsOf(w.get()).size(), 0u);
    EXPECT_LT(pointsOf(w.get()).size(), 16u);  // about half the disc around x = 66 lies outside
    for (const zb::Point& p : pointsOf(w.get())) {
        EXPECT_LT(std::fma(p.x, p.x, p.y * p.y), 67.0 * 67.0);
        EXPECT_LE(std::hypot(p.x - 66.5, p.y), 1.0 + 1e-12);
        EXPECT_EQ(p.ambient, 0);
    }
}

TEST(Projectiles, StunsEveryLivingZibberTouched) {
    auto w = worldWith({makeZibber(100, 1.0, 0.0), makeZibber(99, -1.0, 0.0), makeZibber(98, 0.0, 1.0)});
    w->zibbers[1].stunTicks = 40;
    w->zibbers[2].alive = 0;
    w->rubies = {zb::Ruby{7, 0.0, 0.5, 0, 0, 1.0, 1.0, 30}};
    w->projectiles = {projectile(50, -0.7, 0.0, 0.7, 0.0)};
    const uint64_t before = w->rngState;
    zb::moveProjectiles(*w);
    EXPECT_EQ(w->zibbers[0].stunTicks, 24);
    EXPECT_EQ(w->zibbers[1].stunTicks, 24);  // overwritten, not added
    EXPECT_EQ(w->zibbers[2].stunTicks, 0);
    EXPECT_TRUE(w->projectiles.empty());
    EXPECT_TRUE(pointsOf(w.get()).empty());
    EXPECT_EQ(w->rngState, before);
}

TEST(Projectiles, ExactReachAndRubies) {
    // Squared distance exactly (1 + 0.3)^2 after the move.
    auto w = worldWith({makeZibber(100, 1.3, 0.0)});
    w->projectiles = {projectile(50, -0.5, 0.0, 0.5, 0.0)};
    zb::moveProjectiles(*w);
    EXPECT_EQ(w->zibbers[0].stunTicks, 24);

    auto r = makeWorld(3);
    r->rubies = {zb::Ruby{7, 10.0, 0.0, 0, 0, 1.0, 0.7, 30}};
    r->projectiles = {projectile(50, 8.0, 0.0, 1.0, 0.0), projectile(51, 0.0, 20.0, 0.0, 0.7)};
    const uint64_t before = r->rngState;
    zb::moveProjectiles(*r);
    EXPECT_EQ(draws(before, r->rngState), 48u);
    EXPECT_EQ(pointsOf(r.get()).size(), 16u);
    ASSERT_EQ(r->projectiles.size(), 1u);
    EXPECT_EQ(r->projectiles[0].id, 51u);
}

TEST(ObstacleContact, HazardDiscThrowsAndSwells) {
    auto w = worldWith({makeZibber(100, 10.0, 0.0)});
    w->obstacles = {hazardDisc(12.0, 0.0, 2.0)};
    zb::resolveObstacleContacts(*w);
    const zb::Zibber& z = w->zibbers[0];
    EXPECT_EQ(z.x, 9.0);
    EXPECT_EQ(z.vx, -0.4214420626313051);
    EXPECT_EQ(z.vy, -0.0);
    EXPECT_EQ(z.growthRate, 0.021072103131565257);
    ASSERT_EQ(w->particles.size(), 1u);
    EXPECT_EQ(w->particles[0].x, 11.0);
    EXPECT_EQ(w->particles[0].amount, 0.2);
    EXPECT_EQ(w->particles[0].zibberId, -1);
}

TEST(ObstacleContact, ExactTouchDiscVersusSegment) {
    auto w = worldWith({makeZibber(100, 13.0, 0.0), makeZibber(99, 0.0, 3.0), makeZibber(98, 5.0, 5.0)});
    w->zibbers[2].alive = 0;
    w->obstacles = {hazardDisc(10.0, 0.0, 2.0), zb::Obstacle{31, 0, -5.0, 1.0, 5.0, 1.0, 1.0, 1, 0, 0, 0},
                    hazardDisc(5.0, 5.0, 3.0)};
    zb::resolveObstacleContacts(*w);
    EXPECT_EQ(w->zibbers[0].x, 13.0);  // pushed by 0, still thrown
    EXPECT_GT(w->zibbers[0].vx, 0.0);
    EXPECT_EQ(w->zibbers[1].y, 3.0);  // exactly s from a segment: no contact
    EXPECT_EQ(w->zibbers[1].vy, 0.0);
    EXPECT_EQ(w->zibbers[2].x, 5.0);  // dead zibbers are never pushed
    EXPECT_EQ(w->particles.size(), 1u);
}

TEST(ObstacleContact, OnTheSegmentAndOnTheCentre) {
    auto w = worldWith({makeZibber(100, 1.0, 2.0)});
    w->obstacles = {zb::Obstacle{31, 0, 0.0, 2.0, 4.0, 2.0, 0.5, 0, 0, 0, 0.5}};
    zb::resolveObstacleContacts(*w);
    // Reach 0.5 + (1 - 0.5) * 0.4 = 0.7, s = 1.7, out along (-ey, ex)/|e| = (0, 1).
    EXPECT_EQ(w->zibbers[0].x, 1.0);
    EXPECT_NEAR(w->zibbers[0].y, 3.7, 1e-15);
    EXPECT_EQ(w->zibbers[0].vy, 0.0);  // harmless and not charged: only pushed

    auto c = worldWith({makeZibber(100, 4.0, 4.0)});
    c->obstacles = {hazardDisc(4.0, 4.0, 2.0)};
    zb::resolveObstacleContacts(*c);
    EXPECT_EQ(c->zibbers[0].x, 7.0);
    EXPECT_EQ(c->zibbers[0].y, 4.0);
    EXPECT_EQ(c->zibbers[0].vx, zb::kObstacleBounceSpeed);
}

TEST(ObstacleContact, PulsesAndCharge) {
    zb::Obstacle harmless{31, 1, 0.0, 0.0, 0.0, 0.0, 2.0, 0, 0.05, 0, 1.05};
    EXPECT_NEAR(zb::obstacleReach(harmless), 2.38, 1e-12);
    harmless.charge = 0.0;
    EXPECT_NEAR(zb::obstacleReach(harmless), 2.4, 1e-15);
    harmless.charge = 0.75;
    EXPECT_NEAR(zb::obstacleReach(harmless), 2.1, 1e-15);
    zb::Obstacle hazard = hazardDisc(0, 0, 2.0);
    hazard.charge = 0.3;
    EXPECT_EQ(zb::obstacleReach(hazard), 2.0);

    auto w = worldWith({makeZibber(100, 3.3, 0.0), makeZibber(99, 30.0, 0.0)});
    harmless.charge = 1.05;
    hazard.ax = 30.0;
    hazard.charge = 2.5;
    w->obstacles = {harmless, hazard};
    zb::resolveObstacleContacts(*w);
    EXPECT_EQ(w->zibbers[0].vx, zb::kObstaclePulseBounceSpeed);
    EXPECT_EQ(w->zibbers[0].growthRate, 0.0);
    EXPECT_NEAR(w->zibbers[0].x, 3.38, 1e-12);
    EXPECT_NEAR(w->obstacles[0].charge, 0.05, 1e-15);
    EXPECT_EQ(w->obstacles[1].charge, 1.5);

    auto quiet = worldWith({makeZibber(100, 2.5, 0.0)});
    harmless.charge = 0.5;
    quiet->obstacles = {harmless};
    zb::resolveObstacleContacts(*quiet);
    EXPECT_EQ(quiet->zibbers[0].vx, 0.0);
    EXPECT_NEAR(quiet->zibbers[0].x, 3.2, 1e-12);
    EXPECT_EQ(quiet->obstacles[0].charge, 0.5);
}

TEST(Upkeep, FirstScatterOfAFreshWorld) {
    auto w = makeWorld(12);
    const uint64_t before = w->rngState;
    zb::scatterAmbientPoints(*w);
    EXPECT_EQ(draws(before, w->rngState), 171u);
    EXPECT_EQ(pointsOf(w.get()).size(), 57u);
    EXPECT_EQ(w->arenaPointCount, 57);

    // A zibber blocks points within sqrt(6) radii of its centre.
    auto big = worldWith({makeZibber(100, 0.0, 0.0)});
    big->zibbers[0].radius = 20.0;
    zb::scatterAmbientPoints(*big);
    EXPECT_LT(pointsOf(big.get()).size(), 57u);
    for (const zb::Point& p : pointsOf(big.get())) EXPECT_GE(p.x * p.x + p.y * p.y, 2400.0 - 1e-9);

    // More ambient points than the arena wants: nothing is drawn.
    w->arenaPointCount = 600;
    const uint64_t full = w->rngState;
    zb::scatterAmbientPoints(*w);
    EXPECT_EQ(w->rngState, full);
}

TEST(Upkeep, ObstacleTopUpFollowsTheArea) {
    for (auto [count, radius, added] : {std::tuple{15, 67.0, true}, std::tuple{16, 67.0, false},
                                        std::tuple{0, 20.0, true}, std::tuple{1, 20.0, false}}) {
        auto w = makeWorld(4);
        w->mapSize = radius;
        w->arenaPointCount = 100000;  // keep the scatter out of it
        for (int i = 0; i < count; ++i) w->obstacles.push_back(hazardDisc(1000.0, 0.0, 1.0));
        zb::upkeepArena(*w);
        EXPECT_EQ(w->obstacles.size(), static_cast<size_t>(count + (added ? 1 : 0))) << count << " at " << radius;
    }
}

TEST(Upkeep, SpawnedObstacleShapesAndDraws) {
    int discs = 0;
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        auto w = makeWorld(seed);
        const uint64_t before = w->rngState;
        zb::spawnObstacle(*w);
        ASSERT_EQ(w->obstacles.size(), 1u);
        const zb::Obstacle& o = w->obstacles[0];
        EXPECT_EQ(o.id, 254u);
        EXPECT_EQ(o.charge, 0.0);
        EXPECT_GE(o.chargeRate, 0.0);
        EXPECT_LT(o.chargeRate, 0.1);
        EXPECT_LT(std::fabs(o.spin), 0.01);
        if (o.isCircle) {
            ++discs;
            EXPECT_EQ(draws(before, w->rngState), 3006u);
            EXPECT_GE(o.radius, 2.0);
            EXPECT_LT(o.radius, 4.0);
            EXPECT_EQ(o.bx, 0.0);
            EXPECT_LT(std::hypot(o.ax, o.ay), 6.0);  // the candidate nearest the centre
        } else {
            EXPECT_EQ(draws(before, w->rngState), 3008u);
            const double half = std::hypot(o.bx - o.ax, o.by - o.ay) / 2;
            EXPECT_GE(half, 1.5 - 1e-12);
            EXPECT_LT(half, 4.0);
            EXPECT_GE(o.radius, 0.5);
            EXPECT_LT(o.radius, 0.8);
            EXPECT_LT(std::hypot((o.ax + o.bx) / 2, (o.ay + o.by) / 2), 6.0);
        }
    }
    EXPECT_GT(discs, 5);
    EXPECT_LT(discs, 35);

    // Without an obstacle id nothing is added, but every draw is still made.
    auto a = makeWorld(9);
    auto b = makeWorld(9);
    drainPool(b->obstacleIds);
    zb::spawnObstacle(*a);
    zb::spawnObstacle(*b);
    EXPECT_EQ(a->rngState, b->rngState);
    EXPECT_TRUE(b->obstacles.empty());
}

TEST(Upkeep, ClearanceAndTheOriginFallback) {
    auto w = worldWith({makeZibber(100, 10.0, 0.0), makeZibber(99, -10.0, 0.0)});
    w->zibbers[1].alive = 0;
    EXPECT_EQ(zb::clearanceAt(*w, 0.0, 67.0), 0.0);
    EXPECT_LT(zb::clearanceAt(*w, 10.5, 0.0), 0.0);
    EXPECT_EQ(zb::clearanceAt(*w, -10.0, 0.0), 19.0);                             // dead zibbers are ignored
    w->obstacles = {zb::Obstacle{31, 0, 0.0, 20.0, 0.0, 20.0, 0.5, 1, 0, 0, 0}};  // zero length
    EXPECT_NEAR(zb::clearanceAt(*w, 0.0, 23.0), 2.5, 1e-15);

    // Every candidate at -1 or worse: the obstacle lands on the origin.
    auto crowded = worldWith({makeZibber(100, 0.0, 0.0)});
    crowded->zibbers[0].radius = 200.0;
    zb::spawnObstacle(*crowded);
    EXPECT_EQ(crowded->obstacles[0].isCircle ? crowded->obstacles[0].ax
                                             : (crowded->obstacles[0].ax + crowded->obstacles[0].bx) / 2,
              0.0);
}

TEST(Upkeep, ShrinkSchedule) {
    auto shrinkOnce = [](int32_t clock, double mapSize, int32_t start, int32_t alive) {
        auto w = makeWorld(3);
        std::vector<zb::Zibber> zs;
        for (int i = 0; i < start; ++i) {
            zs.push_back(makeZibber(200 - i, 0.0, 0.0));
            zs.back().alive = i < alive;
        }
        addZibbers(w.get(), std::move(zs));
        w->shrinkClock = clock;
        w->mapSize = mapSize;
        w->arenaPointCount = 100000;
        for (int i = 0; i < 20; ++i) w->obstacles.push_back(hazardDisc(1000.0, 0.0, 1.0));
        zb::upkeepArena(*w);
        EXPECT_EQ(w->shrinkClock, clock + 1);
        return w->mapSize;
    };
    EXPECT_EQ(shrinkOnce(239, 67.0, 1, 1), 67.0);
    EXPECT_EQ(shrinkOnce(240, 67.0, 1, 1), 66.99529383883412);
    EXPECT_EQ(shrinkOnce(1000, 60.0, 2, 1), 59.97647008641352);
    EXPECT_NEAR(shrinkOnce(7199, 30.0, 1, 1), 29.9, 1e-12);
    EXPECT_NEAR(shrinkOnce(9000, 10.05, 1, 1), 10.0, 1e-12);
    EXPECT_EQ(shrinkOnce(9000, 10.0, 1, 1), 10.0);
    // No zibbers at all: the target is the end radius at once, the rate
    // spreads the rest over the schedule.
    EXPECT_NEAR(shrinkOnce(240, 67.0, 0, 0), std::sqrt(4489.0 - 4389.0 / 6959.0), 1e-12);
    // A dead fraction that falls again raises the radius to the target at once.
    EXPECT_NEAR(shrinkOnce(1000, 20.0, 4, 4), std::sqrt(4489.0 - 4389.0 * (761.0 / 6960.0)), 1e-9);
}

TEST(Upkeep, TeamScoresAreRunningMaxima) {
    auto w = worldWith({makeZibber(100, 0, 0), makeZibber(99, 0, 0), makeZibber(98, 0, 0)});
    w->teamMembers = {{0, 1}, {2}};
    w->teamScores = {50, 0};
    w->teamCount = 2;
    w->zibbers[0].score = 10;
    w->zibbers[1].score = 20;
    w->zibbers[2].score = 7;
    w->zibbers[2].alive = 0;
    w->arenaPointCount = 100000;
    zb::upkeepArena(*w);
    EXPECT_EQ(w->teamScores, (std::vector<int32_t>{50, 7}));
    w->zibbers[1].score = 60;
    zb::upkeepArena(*w);
    EXPECT_EQ(w->teamScores, (std::vector<int32_t>{60, 7}));
    EXPECT_FALSE(w->isOver);
    w->zibbers[0].alive = w->zibbers[1].alive = 0;
    zb::upkeepArena(*w);
    EXPECT_TRUE(w->isOver);
}

TEST(Match, PlaysToTheEndWithInvariantsHeld) {
    auto w = makeWorld(31337);
    const int32_t sizes[] = {3, 4, 2, 3};
    zb_setup(w.get(), sizes, 4, nullptr);
    const int32_t n = zb_num_zibbers(w.get());
    int steps = 0;
    bool sawBite = false, sawShot = false, sawRam = false;
    while (!zb_is_over(w.get()) && steps < 20000) {
        for (int32_t i = 0; i < n; ++i) {
            const zb::Zibber& z = w->zibbers[static_cast<size_t>(i)];
            const double toCentre = std::atan2(-z.y, -z.x);
            const int phase = (steps / 60 + i) % 4;
            const int kind = phase == 0 ? 1 : (phase == 1 ? 2 : 0);
            zb_set_action(w.get(), i, kind, toCentre + std::sin(steps * 0.05 + i));
        }
        zb_step(w.get());
        ++steps;

        int ambient = 0;
        for (const zb::Point& p : pointsOf(w.get())) ambient += p.ambient;
        ASSERT_EQ(ambient, w->arenaPointCount) << "step " << steps;
        const Snapshot s = snapshot(w.get());
        ASSERT_EQ(zb_num_points(w.get()), static_cast<int32_t>(pointsOf(w.get()).size()));
        ASSERT_EQ(zb_num_obstacles(w.get()), static_cast<int32_t>(w->obstacles.size()));
        ASSERT_EQ(zb_num_projectiles(w.get()), static_cast<int32_t>(w->projectiles.size()));
        for (const auto& v : exportOf(w.get(), zb_zibbers, n, ZB_ZIBBER_WIDTH)) ASSERT_TRUE(std::isfinite(v));
        for (const auto& v : exportOf(w.get(), zb_obstacles, zb_num_obstacles(w.get()), ZB_OBSTACLE_WIDTH)) {
            ASSERT_TRUE(std::isfinite(v));
        }
        for (const auto& v : exportOf(w.get(), zb_particles, zb_num_particles(w.get()), ZB_PARTICLE_WIDTH)) {
            ASSERT_TRUE(std::isfinite(v));
        }
        std::set<uint32_t> pointIds, obstacleIds, projectileIds, rubyIds;
        for (const auto& p : pointsOf(w.get())) ASSERT_TRUE(pointIds.insert(p.id).second);
        for (const auto& o : w->obstacles) ASSERT_TRUE(obstacleIds.insert(o.id).second);
        for (const auto& p : w->projectiles) ASSERT_TRUE(projectileIds.insert(p.id).second && p.removed == 0);
        for (const auto& r : w->rubies) ASSERT_TRUE(rubyIds.insert(r.id).second);
        std::set<int32_t> zibberIds;
        for (const auto& z : w->zibbers) {
            if (z.alive) {
                ASSERT_TRUE(zibberIds.insert(z.id).second);
            }
        }
        for (const auto& p : w->particles) {
            sawBite |= p.kind <= 1;
            sawRam |= p.contactIdA != -1;
        }
        sawShot |= !w->projectiles.empty();
    }
    EXPECT_TRUE(zb_is_over(w.get())) << "after " << steps << " steps";
    EXPECT_TRUE(sawBite);
    EXPECT_TRUE(sawShot || w->zibbers.empty());
    EXPECT_TRUE(sawRam);
    const uint32_t endTick = zb_tick(w.get());
    zb_step(w.get());  // stepping goes on after the end
    EXPECT_EQ(zb_tick(w.get()), endTick + 1);
    EXPECT_TRUE(zb_is_over(w.get()));
}
