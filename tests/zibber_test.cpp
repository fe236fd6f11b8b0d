// A zibber's edge rules: the speed limit, the shot's charge, collisions at
// exact contact, the burst threshold and what a burst leaves.
#include <gtest/gtest.h>

#include <cmath>

#include "core/tuning.h"
#include "test_support.h"

using namespace zbtest;

namespace {

// Radius r0 whose end-of-update value r0 + 0.001 is exactly `target`.
double radiusEndingAt(double target) {
    double r = target - 0.001;
    while (r + 0.001 < target) r = std::nextafter(r, 10.0);
    while (r + 0.001 > target) r = std::nextafter(r, 0.0);
    return r;
}

}  // namespace

// Gliding at exactly the limit is too fast both to tap-dash and for a dasher
// to start charging; a stunned dasher waits too, other kinds charge anyway.
TEST(Motion, speedLimitIsStrictForTapsAndCharging) {
    auto w = worldWith({makeZibber(100, 0, 0, 0.0, ZB_KIND_DASHER)});
    zb::Zibber& z = w->zibbers[0];
    z.vx = ZB_DASH_SPEED_LIMIT;
    z.actionTap = 1;
    zb::updateZibber(*w, z);
    EXPECT_EQ(z.growthRate, 0.0);
    for (int kind : {ZB_KIND_DASHER, ZB_KIND_BRACER, ZB_KIND_TURNER}) {
        for (int stun : {0, 3}) {
            zb::Zibber k = makeZibber(100, 0, 0, 0.0, kind);
            k.actionHold = 1;
            k.stunTicks = stun;
            zb::updateCharge(*w, k, stun ? 0.0 : ZB_DASH_SPEED_LIMIT, 0.0, 1.0);
            EXPECT_EQ(k.chargeTicks, kind == ZB_KIND_DASHER ? -1 : 1) << kind << " stunned " << stun;
        }
    }
}

TEST(Charge, shooterFiresOnlyAfter50StepsAndNeedsAnId) {
    auto w = worldWith({makeZibber(100, 3, 4, 0.25, ZB_KIND_SHOOTER)});
    zb::Zibber& z = w->zibbers[0];
    z.chargeTicks = ZB_SHOT_CHARGE - 1;
    zb::updateCharge(*w, z, 0.0, 0.0, 1.0);
    EXPECT_TRUE(w->projectiles.empty());
    z.chargeTicks = ZB_SHOT_CHARGE;
    zb::updateCharge(*w, z, 0.0, 0.0, 1.0);
    ASSERT_EQ(w->projectiles.size(), 1u);
    EXPECT_EQ(w->projectiles[0].id, 65534u);

    // Without a projectile id the charge still ends.
    drainPool(w->projectileIds);
    z.chargeTicks = 60;
    zb::updateCharge(*w, z, 0.0, 0.0, 1.0);
    EXPECT_EQ(w->projectiles.size(), 1u);
    EXPECT_EQ(z.chargeTicks, -1);
}

TEST(Collision, touchingAndCoincidentPairs) {
    auto w = worldWith({makeZibber(20, 0, 0, 0.0), makeZibber(10, 2.0, 0, 0.0)});
    zb::collideZibbers(*w, w->zibbers[0], w->zibbers[1], 1);
    EXPECT_EQ(w->zibbers[0].x, 0.0);  // touching exactly: separated by 0, still a bounce
    EXPECT_EQ(w->particles.size(), 3u);

    auto same = worldWith({makeZibber(20, 5, 5, 0.0), makeZibber(10, 5, 5, 1.0)});
    zb::collideZibbers(*same, same->zibbers[0], same->zibbers[1], 1);
    EXPECT_EQ(same->zibbers[0].x, 4.0);  // split along x
    EXPECT_EQ(same->zibbers[1].x, 6.0);
    EXPECT_EQ(same->zibbers[0].y, 5.0);
    for (const auto& z : same->zibbers)
        EXPECT_TRUE(std::isfinite(z.vx) && std::isfinite(z.vy) && std::isfinite(z.growthRate));
}

TEST(StepLoop, burstsOnlyAbove4) {
    auto edge = worldWith({makeZibber(30, -20, 0, 0.0), makeZibber(40, 20, 0, 0.0)});
    edge->zibbers[0].radius = radiusEndingAt(ZB_BURST_RADIUS);
    edge->zibbers[1].radius = radiusEndingAt(std::nextafter(ZB_BURST_RADIUS, 5.0));
    zb::stepWorld(*edge);
    EXPECT_EQ(edge->zibbers[0].radius, ZB_BURST_RADIUS);
    EXPECT_EQ(edge->zibbers[0].alive, 1);
    EXPECT_EQ(edge->zibbers[1].alive, 0);
}

// What a burst leaves depends on the score and the draws: pinned for seed 11.
TEST(Burst, pointsAndRubyForEachScore) {
    struct Case {
        int32_t score;
        size_t points;
        size_t rubies;
        double rubyScale;
    };
    for (Case c : {Case{0, 10, 0, 0}, Case{55, 59, 0, 0}, Case{167, 88, 1, 0.8473867583920422},
                   Case{200, 102, 1, 0.9215011267430259}}) {
        auto w = worldWith({makeZibber(100, 10, -5, 0.7)});
        zb::Zibber& z = w->zibbers[0];
        z.score = c.score;
        z.radius = 4.2;
        const uint64_t before = w->rngState;
        zb::burstZibber(*w, z);
        SCOPED_TRACE(c.score);
        EXPECT_EQ(pointsOf(w.get()).size(), c.points);
        EXPECT_EQ(w->rubies.size(), c.rubies);
        // One draw for the ruby chance, one for its value, three per point.
        EXPECT_EQ(w->rngState, before + (1 + c.rubies + 3 * c.points) * zb::kGoldenGamma);
        if (c.rubies) {
            const zb::Ruby& r = w->rubies[0];
            EXPECT_EQ(r.x, 10.0);
            EXPECT_NEAR(std::atan2(r.vy, r.vx), 0.7, 1e-12);  // along the final heading
            EXPECT_EQ(r.scale, c.rubyScale);
            EXPECT_EQ(r.remaining, 1.0);
        }
    }
}

TEST(Burst, exhaustedPoolsChangeNothingElse) {
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
