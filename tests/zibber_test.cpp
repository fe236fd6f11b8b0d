// Zibber motion, charging, collisions, bursts and point spawning.
#include <gtest/gtest.h>

#include <cmath>

#include "core/tuning.h"
#include "test_support.h"
#include "zibbers/angles.h"

using namespace zbtest;

namespace {

// A World holding the given zibbers and nothing else.
WorldPtr worldWith(std::vector<zb::Zibber> zibbers, uint64_t seed = 11) {
    WorldPtr w = makeWorld(seed);
    addZibbers(w.get(), std::move(zibbers));
    return w;
}

uint64_t stateAfterDraws(uint64_t state, int draws) { return state + static_cast<uint64_t>(draws) * zb::kGoldenGamma; }

// Radius r0 whose end-of-update value r0 + 0.001 is exactly `target`.
double radiusEndingAt(double target) {
    double r = target - 0.001;
    while (r + 0.001 < target) r = std::nextafter(r, 10.0);
    while (r + 0.001 > target) r = std::nextafter(r, 0.0);
    return r;
}

}  // namespace

TEST(Motion, AtRestWalksAlongItsHeading) {
    auto w = worldWith({makeZibber(100, 0, 0, 0.5)});
    zb::Zibber& z = w->zibbers[0];
    zb::updateZibber(*w, z);
    EXPECT_NEAR(std::hypot(z.x, z.y), 0.35, 1e-14);
    EXPECT_NEAR(std::atan2(z.y, z.x), 0.5, 1e-12);
    EXPECT_EQ(z.heading, 0.5);
    EXPECT_EQ(z.radius, 1.001);

    // Bigger zibbers walk faster: sf = 1 + (r - 1) * (2/7) / 3.
    auto big = worldWith({makeZibber(100, 0, 0, 0.0)});
    big->zibbers[0].radius = 4.0;
    zb::updateZibber(*big, big->zibbers[0]);
    EXPECT_NEAR(big->zibbers[0].x, 0.35 * 1.2857142857142858, 1e-14);
}

TEST(Motion, TurnsAtMostItsRateAndWrapsHeadings) {
    auto w = worldWith({makeZibber(100, 0, 0, 1.0)});
    zb::Zibber& z = w->zibbers[0];
    z.targetHeading = 1.0 + zb::kTwoPi;  // the same direction
    zb::updateZibber(*w, z);
    EXPECT_NEAR(z.heading, 1.0, 1e-12);

    z.heading = 1.0;
    z.targetHeading = 4.0;
    zb::updateZibber(*w, z);
    EXPECT_NEAR(z.heading - 1.0, 0.12 / 1.001, 1e-12);  // tf 1 over the radius

    z.heading = 0.05;
    z.targetHeading = -1.0;  // turning clockwise through 0
    zb::updateZibber(*w, z);
    EXPECT_GE(z.heading, 0.0);
    EXPECT_LT(z.heading, zb::kTwoPi);
    EXPECT_NEAR(z.heading, zb::kTwoPi + 0.05 - 0.12 / 1.002, 1e-12);
}

TEST(Motion, StunSlowsMovingAndTurning) {
    auto w = worldWith({makeZibber(100, 0, 0, 0.0)});
    zb::Zibber& z = w->zibbers[0];
    z.stunTicks = 5;
    z.targetHeading = 2.0;
    zb::updateZibber(*w, z);
    EXPECT_EQ(z.stunTicks, 4);
    EXPECT_NEAR(std::hypot(z.x, z.y), 0.35 * 0.12, 1e-3);
    EXPECT_NEAR(z.heading, 0.12 * 0.02, 1e-12);

    // The step in which the stun ends still moves slowly but turns normally.
    z.x = z.y = 0.0;
    z.heading = 0.0;
    z.stunTicks = 1;
    z.actionTap = 1;
    z.radius = 1.0;
    zb::updateZibber(*w, z);
    EXPECT_EQ(z.stunTicks, 0);
    EXPECT_NEAR(z.heading, 0.12, 1e-12);
    EXPECT_GT(std::hypot(z.vx, z.vy), 0.5);  // the tap dash happened
    EXPECT_LT(std::hypot(z.x, z.y), 0.12 * 1.2);
}

TEST(Motion, TapDashOnlyBelowSpeedPoint11AndAimedWithinPiOver5) {
    auto w = worldWith({makeZibber(100, 0, 0, 0.0)});
    zb::Zibber& z = w->zibbers[0];
    z.vx = 0.11;
    z.actionTap = 1;
    zb::updateZibber(*w, z);
    EXPECT_EQ(z.growthRate, 0.0);

    z = makeZibber(100, 0, 0, 0.0);
    z.targetHeading = 3.0;
    z.actionTap = 1;
    zb::updateZibber(*w, z);
    EXPECT_NEAR(std::atan2(z.vy, z.vx), M_PI / 5, 1e-12);
    EXPECT_NEAR(std::hypot(z.vx, z.vy), zb::kTapDashSpeed * 0.9, 1e-12);
    EXPECT_NEAR(z.growthRate, zb::kDashGrowthRate * 0.9, 1e-15);

    // A tap while holding does not dash.
    z = makeZibber(100, 0, 0, 0.0, 1);
    z.actionTap = 1;
    z.actionHold = 1;
    zb::updateZibber(*w, z);
    EXPECT_EQ(z.growthRate, 0.0);
}

TEST(Motion, ChargedDashThenTapDashInOneUpdate) {
    auto w = worldWith({makeZibber(100, 0, 0, 0.0, 0)});
    zb::Zibber& z = w->zibbers[0];
    z.chargeTicks = 10;
    z.actionTap = 1;  // a tap clears the hold
    zb::updateZibber(*w, z);
    EXPECT_EQ(z.chargeTicks, -1);
    EXPECT_NEAR(z.growthRate, 2 * zb::kDashGrowthRate * 0.9, 1e-15);
    EXPECT_NEAR(z.vx, (zb::dashSpeed(10) + zb::kTapDashSpeed) * 0.9, 1e-12);
}

TEST(Motion, WallBounceAndRadiusFloor) {
    auto w = worldWith({makeZibber(100, 65.9, 0.1, 0.0)});
    zb::Zibber& z = w->zibbers[0];
    z.vx = 1.0;
    zb::updateZibber(*w, z);
    const double r = std::hypot(z.x, z.y);
    EXPECT_NEAR(r, 67.0 - z.radius, 1e-12);
    EXPECT_NEAR(std::hypot(z.vx, z.vy), zb::kWallBounceSpeed, 1e-15);
    EXPECT_LT(z.vx * z.x + z.vy * z.y, 0.0);
    ASSERT_EQ(w->particles.size(), 1u);
    const zb::Particle& p = w->particles[0];
    EXPECT_EQ(p.kind, 2);
    EXPECT_NEAR(std::hypot(p.x, p.y), 67.0, 1e-12);
    EXPECT_EQ(p.amount, 0.30000000000000004);
    EXPECT_EQ(p.zibberId, -1);

    z = makeZibber(100, 0, 0);
    z.radius = 0.7;
    zb::updateZibber(*w, z);
    EXPECT_EQ(z.radius, 0.75);
}

TEST(Motion, ContactsAgeAndExpireAfter24) {
    auto w = worldWith({makeZibber(100, 0, 0)});
    zb::Zibber& z = w->zibbers[0];
    z.contacts = {{1, 24}, {2, 23}, {3, 0}, {4, 30}};
    zb::updateZibber(*w, z);
    ASSERT_EQ(z.contacts.size(), 2u);
    EXPECT_EQ(z.contacts[0].otherIndex, 2u);
    EXPECT_EQ(z.contacts[0].age, 24);
    EXPECT_EQ(z.contacts[1].otherIndex, 3u);
    EXPECT_EQ(z.contacts[1].age, 1);
}

TEST(Charge, DashSpeedsAndAutoRelease) {
    EXPECT_EQ(zb::dashSpeed(1), 1.0241942618449684);
    EXPECT_EQ(zb::dashSpeed(10), 1.5932305359456223);
    EXPECT_EQ(zb::dashSpeed(61), 4.244278443366056);

    auto w = worldWith({makeZibber(100, 0, 0, 0.0, 0)});
    zb::Zibber& z = w->zibbers[0];
    z.actionHold = 1;
    for (int step = 1; step <= 61; ++step) {
        zb::updateZibber(*w, z);
        z.x = z.y = 0.0;
        ASSERT_EQ(z.chargeTicks, step);
    }
    const double sf = 1.0 + ((z.radius - 1.0) * 0.2857142857142858) / 3.0;
    zb::updateZibber(*w, z);  // enters with 61 >= 60.39: releases by itself
    EXPECT_EQ(z.chargeTicks, -1);
    EXPECT_NEAR(z.vx, zb::dashSpeed(61) * sf * 0.9, 1e-12);
    zb::updateZibber(*w, z);  // still holding, but too fast to charge again
    EXPECT_EQ(z.chargeTicks, -1);
}

TEST(Charge, WhoMayStartCharging) {
    auto w = worldWith({makeZibber(100, 0, 0, 0.0, 0)});
    zb::Zibber z = makeZibber(100, 0, 0, 0.0, 0);
    z.actionHold = 1;
    zb::updateCharge(*w, z, 0.11, 0.0, 1.0);
    EXPECT_EQ(z.chargeTicks, -1);
    z.stunTicks = 3;
    zb::updateCharge(*w, z, 0.0, 0.0, 1.0);
    EXPECT_EQ(z.chargeTicks, -1);
    for (int kind : {1, 3}) {
        zb::Zibber k = makeZibber(100, 0, 0, 0.0, kind);
        k.actionHold = 1;
        k.stunTicks = 3;
        zb::updateCharge(*w, k, 5.0, 0.0, 1.0);
        EXPECT_EQ(k.chargeTicks, 1);
        k.actionHold = 0;
        const zb::Zibber before = k;
        zb::updateCharge(*w, k, 5.0, 0.0, 1.0);
        EXPECT_EQ(k.chargeTicks, -1);
        EXPECT_EQ(k.vx, before.vx);
        EXPECT_EQ(k.growthRate, before.growthRate);
    }
    zb::Zibber idle = makeZibber(100, 0, 0, 0.0, 0);
    zb::updateCharge(*w, idle, 0.0, 0.0, 1.0);  // release without a charge
    EXPECT_EQ(idle.chargeTicks, -1);
    EXPECT_EQ(idle.vx, 0.0);
}

TEST(Charge, Kind2ShootsAfter50Steps) {
    auto w = worldWith({makeZibber(100, 3, 4, 0.25, 2)});
    zb::Zibber& z = w->zibbers[0];
    z.chargeTicks = 49;
    zb::updateCharge(*w, z, 0.0, 0.0, 1.0);
    EXPECT_TRUE(w->projectiles.empty());
    EXPECT_EQ(z.chargeTicks, -1);
    z.chargeTicks = 50;
    z.radius = 1.5;
    zb::updateCharge(*w, z, 0.0, 1.0, 1.0);  // launches along the heading, not the aim
    ASSERT_EQ(w->projectiles.size(), 1u);
    const zb::Projectile& p = w->projectiles[0];
    EXPECT_EQ(p.id, 65534u);
    EXPECT_EQ(p.x, std::fma(std::cos(0.25), 2.0, 3.0));
    EXPECT_EQ(p.y, std::fma(std::sin(0.25), 2.0, 4.0));
    EXPECT_NEAR(std::hypot(p.vx, p.vy), 0.7, 1e-15);
    EXPECT_EQ(p.radius, 0.3);

    // Without a projectile id the charge still ends.
    drainPool(w->projectileIds);
    z.chargeTicks = 60;
    zb::updateCharge(*w, z, 0.0, 0.0, 1.0);
    EXPECT_EQ(w->projectiles.size(), 1u);
    EXPECT_EQ(z.chargeTicks, -1);
}

TEST(Collision, RamFromBehindScoresAndSwellsTheVictim) {
    auto w = worldWith({makeZibber(20, 0, 0, 0.0), makeZibber(10, 1.5, 0, 0.0)});
    zb::Zibber& a = w->zibbers[0];
    zb::Zibber& b = w->zibbers[1];
    zb::collideZibbers(*w, a, b, 1);
    EXPECT_EQ(a.x, -0.25);
    EXPECT_EQ(b.x, 1.75);
    EXPECT_EQ(a.score, 67);
    EXPECT_EQ(b.score, 0);
    EXPECT_NEAR(a.growthRate, -zb::kCollisionGrowthRate, 1e-15);
    EXPECT_NEAR(b.growthRate, 2 * zb::kCollisionGrowthRate, 1e-15);
    EXPECT_EQ(a.vx, -zb::kCollisionBounceSpeed);
    EXPECT_EQ(b.vx, zb::kCollisionBounceSpeed);
    ASSERT_EQ(w->particles.size(), 3u);
    const auto& p = w->particles;
    EXPECT_EQ(p[0].contactIdA, 20);
    EXPECT_EQ(p[0].contactIdB, 10);
    EXPECT_EQ(p[0].zibberId, -1);
    EXPECT_NEAR(p[0].amount, 1.0, 1e-12);
    EXPECT_NEAR(p[1].amount, -0.5, 1e-12);
    EXPECT_EQ(p[1].zibberId, 20);
    EXPECT_NEAR(p[2].amount, 1.0, 1e-12);
    EXPECT_EQ(p[2].zibberId, 10);
    for (const auto& q : p) {
        EXPECT_EQ(q.x, 0.75);
        EXPECT_EQ(q.kind, 2);
    }
    ASSERT_EQ(a.contacts.size(), 1u);
    EXPECT_EQ(a.contacts[0].otherIndex, 1u);
    EXPECT_TRUE(b.contacts.empty());
}

TEST(Collision, HeadOnAndBackToBack) {
    auto w = worldWith({makeZibber(20, 0, 0, 0.0), makeZibber(10, 1.5, 0, M_PI)});
    zb::collideZibbers(*w, w->zibbers[0], w->zibbers[1], 1);
    EXPECT_NEAR(w->zibbers[0].growthRate, zb::kCollisionGrowthRate, 1e-15);
    EXPECT_NEAR(w->zibbers[1].growthRate, zb::kCollisionGrowthRate, 1e-15);
    EXPECT_EQ(w->zibbers[0].score + w->zibbers[1].score, 0);

    auto back = worldWith({makeZibber(20, 0, 0, M_PI), makeZibber(10, 1.5, 0, 0.0)});
    zb::collideZibbers(*back, back->zibbers[0], back->zibbers[1], 1);
    EXPECT_NEAR(back->zibbers[0].growthRate, 0.0, 1e-15);
    EXPECT_NEAR(back->zibbers[1].growthRate, 0.0, 1e-15);
    EXPECT_EQ(back->zibbers[0].score + back->zibbers[1].score, 0);
    EXPECT_EQ(back->particles.size(), 3u);
}

TEST(Collision, ChargingKind1SwellsLess) {
    auto w = worldWith({makeZibber(20, 0, 0, 0.0), makeZibber(10, 1.5, 0, 0.0, 1)});
    w->zibbers[1].chargeTicks = 10;
    w->zibbers[0].chargeTicks = 10;  // the rammer is kind 1 too: its shrink is not softened
    zb::collideZibbers(*w, w->zibbers[0], w->zibbers[1], 1);
    const double factor = 1.0 - 0.4 * (1.0 - std::exp(-2.4));
    EXPECT_NEAR(w->zibbers[1].growthRate / (2 * zb::kCollisionGrowthRate), factor, 1e-12);
    EXPECT_NEAR(factor, 0.636, 1e-3);
    EXPECT_NEAR(w->zibbers[0].growthRate, -zb::kCollisionGrowthRate, 1e-15);
}

TEST(Collision, TouchingRecentAndCoincident) {
    auto w = worldWith({makeZibber(20, 0, 0, 0.0), makeZibber(10, 2.0, 0, 0.0)});
    zb::collideZibbers(*w, w->zibbers[0], w->zibbers[1], 1);
    EXPECT_EQ(w->zibbers[0].x, 0.0);  // separated by 0
    EXPECT_EQ(w->particles.size(), 3u);

    auto recent = worldWith({makeZibber(20, 0, 0, 0.0), makeZibber(10, 1.0, 0, 0.0)});
    recent->zibbers[0].contacts.push_back({1, 10});
    zb::collideZibbers(*recent, recent->zibbers[0], recent->zibbers[1], 1);
    EXPECT_EQ(recent->zibbers[0].x, -0.5);
    EXPECT_EQ(recent->zibbers[1].x, 1.5);
    EXPECT_EQ(recent->zibbers[0].vx, 0.0);
    EXPECT_EQ(recent->zibbers[0].score, 0);
    EXPECT_TRUE(recent->particles.empty());

    auto same = worldWith({makeZibber(20, 5, 5, 0.0), makeZibber(10, 5, 5, 1.0)});
    zb::collideZibbers(*same, same->zibbers[0], same->zibbers[1], 1);
    EXPECT_EQ(same->zibbers[0].x, 4.0);
    EXPECT_EQ(same->zibbers[1].x, 6.0);
    EXPECT_EQ(same->zibbers[0].y, 5.0);
    for (const auto& z : same->zibbers) {
        EXPECT_TRUE(std::isfinite(z.vx) && std::isfinite(z.vy) && std::isfinite(z.growthRate));
    }
}

TEST(StepLoop, PairsByIdNotIndexAndDeathAbove4) {
    // Ids increase with index here, unlike after a plain setup.
    auto w = worldWith({makeZibber(10, 0, 0, 0.0), makeZibber(20, 1.5, 0, M_PI)});
    zb::stepWorld(*w);
    int contacts = 0;
    for (const auto& p : w->particles) {
        if (p.contactIdA != -1) {
            ++contacts;
            EXPECT_EQ(p.contactIdA, 20);
            EXPECT_EQ(p.contactIdB, 10);
        }
    }
    EXPECT_EQ(contacts, 1);
    EXPECT_EQ(w->zibbers[1].contacts.size(), 1u);
    EXPECT_TRUE(w->zibbers[0].contacts.empty());

    auto edge = worldWith({makeZibber(30, -20, 0, 0.0), makeZibber(40, 20, 0, 0.0)});
    edge->zibbers[0].radius = radiusEndingAt(4.0);
    edge->zibbers[1].radius = radiusEndingAt(std::nextafter(4.0, 5.0));
    zb::stepWorld(*edge);
    EXPECT_EQ(edge->zibbers[0].radius, 4.0);
    EXPECT_EQ(edge->zibbers[0].alive, 1);
    EXPECT_EQ(edge->zibbers[1].alive, 0);
    EXPECT_EQ(edge->zibbers[1].radius, std::nextafter(4.0, 5.0));
}

TEST(Burst, DrawsPointsAndRubies) {
    struct Case {
        int32_t score;
        bool rubyCertain;
        int minPoints;
    };
    for (Case c : {Case{0, false, 10}, Case{55, false, 59}, Case{167, true, 10}, Case{200, true, 10}}) {
        auto w = worldWith({makeZibber(100, 10, -5, 0.7)});
        zb::Zibber& z = w->zibbers[0];
        z.score = c.score;
        z.radius = 4.2;
        const uint64_t before = w->rngState;
        uint64_t probe = before;
        const double u1 = zb::drawUniform(probe);
        const double v = std::floor(c.score * 0.9);
        double d = v <= 150 ? v : std::fma(std::sqrt(v - 150), 5, 150);
        if (c.score == 200) {
            EXPECT_EQ(d, 177.3861278752583);
        }
        const bool ruby = u1 < (v - 50) / 100;
        EXPECT_TRUE(!c.rubyCertain || ruby);
        if (ruby) d -= d * std::fma(zb::drawUniform(probe), 0.3, 0.4);
        const int points = static_cast<int>(std::max(d, 0.0)) + 10;
        EXPECT_GE(points, c.minPoints);
        if (c.score == 55) {
            EXPECT_EQ(points, 59);
        }

        zb::burstZibber(*w, z);
        EXPECT_EQ(pointsOf(w.get()).size(), static_cast<size_t>(points)) << "score " << c.score;
        EXPECT_EQ(w->rubies.size(), ruby ? 1u : 0u);
        EXPECT_EQ(w->rngState, stateAfterDraws(before, 1 + (ruby ? 1 : 0) + 3 * points));
        for (const zb::Point& p : pointsOf(w.get())) {
            EXPECT_LE(std::hypot(p.x - 10, p.y + 5), 4.2 + 1e-12);
            EXPECT_EQ(p.ambient, 0);
        }
        EXPECT_EQ(w->arenaPointCount, 0);
        ASSERT_EQ(queuedIds(w->zibberIds).size(), 1u);
        EXPECT_EQ(queuedIds(w->zibberIds)[0], 100u);
        if (ruby) {
            const zb::Ruby& r = w->rubies[0];
            EXPECT_EQ(r.x, 10.0);
            EXPECT_NEAR(std::atan2(r.vy, r.vx), 0.7, 1e-12);
            EXPECT_EQ(r.remaining, 1.0);
            EXPECT_EQ(r.cooldown, 30);
        }
    }
}

TEST(Burst, ExhaustedPoolsChangeNothingElse) {
    auto normal = worldWith({makeZibber(100, 0, 0, 0.0)});
    auto starved = worldWith({makeZibber(100, 0, 0, 0.0)});
    for (auto* w : {normal.get(), starved.get()}) {
        w->zibbers[0].score = 400;  // a ruby is certain
        w->zibbers[0].radius = 4.1;
    }
    drainPool(starved->rubyIds);
    drainPool(starved->pointIds, 5);
    zb::burstZibber(*normal, normal->zibbers[0]);
    zb::burstZibber(*starved, starved->zibbers[0]);
    EXPECT_EQ(starved->rngState, normal->rngState);
    EXPECT_EQ(normal->rubies.size(), 1u);
    EXPECT_TRUE(starved->rubies.empty());
    EXPECT_GT(pointsOf(normal.get()).size(), 5u);
    EXPECT_EQ(pointsOf(starved.get()).size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(pointsOf(starved.get())[i].x, pointsOf(normal.get())[i].x);
}

TEST(PointSpawning, IdsCountDownThenReuseInReleaseOrder) {
    auto w = makeWorld(1);
    zb::spawnPoint(*w, 0, 1.0, 2.0);
    zb::spawnPoint(*w, 1, 3.0, 4.0);
    EXPECT_EQ(pointsOf(w.get())[0].id, 65534u);
    EXPECT_EQ(pointsOf(w.get())[1].id, 65533u);
    EXPECT_EQ(w->arenaPointCount, 1);
    drainPool(w->pointIds);
    zb::releaseId(w->pointIds, 65534);
    zb::releaseId(w->pointIds, 65533);
    zb::spawnPoint(*w, 0, 0, 0);
    zb::spawnPoint(*w, 1, 0, 0);
    EXPECT_EQ(pointsOf(w.get())[2].id, 65534u);
    EXPECT_EQ(pointsOf(w.get())[3].id, 65533u);
    zb::spawnPoint(*w, 1, 0, 0);  // no id left: no point, no count
    EXPECT_EQ(pointsOf(w.get()).size(), 4u);
    EXPECT_EQ(w->arenaPointCount, 2);
}

TEST(Duel, ScriptedStepsKeepInvariants) {
    auto w = makeWorld(2024);
    const int32_t sizes[] = {2, 2};
    const int32_t kinds[] = {0, 1, 2, 3};
    zb_setup(w.get(), sizes, 2, kinds);
    int bursts = 0;
    for (int t = 0; t < 600; ++t) {
        for (int i = 0; i < 4; ++i) {
            const zb::Zibber& me = w->zibbers[static_cast<size_t>(i)];
            const zb::Zibber& foe = w->zibbers[static_cast<size_t>((i + 2) % 4)];
            const int kind = (t / 40 + i) % 3;
            zb_set_action(w.get(), i, kind, std::atan2(foe.y - me.y, foe.x - me.x) + 0.01 * t);
        }
        zb_step(w.get());
        for (const zb::Zibber& z : w->zibbers) {
            ASSERT_TRUE(std::isfinite(z.x) && std::isfinite(z.y) && std::isfinite(z.vx) && std::isfinite(z.radius));
            ASSERT_GE(z.heading, 0.0);
            ASSERT_LT(z.heading, zb::kTwoPi);
            if (z.alive) {
                ASSERT_GE(z.radius, 0.75);
            }
            for (const zb::Contact& c : z.contacts) ASSERT_LE(c.age, 24);
        }
        for (const zb::Particle& p : w->particles) ASSERT_TRUE(std::isfinite(p.amount));
        bursts = 0;
        for (const zb::Zibber& z : w->zibbers) bursts += z.alive == 0;
    }
    EXPECT_GT(bursts, 0);
}
