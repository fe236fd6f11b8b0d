// The random source, id pools, setup, actions and the C interface's handling
// of bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/tuning.h"
#include "test_support.h"

using namespace zbtest;

TEST(RandomSource, workedNumbers) {
    uint64_t state = 0;
    EXPECT_EQ(zb::drawBits(state), 0xe220a8397b1dcdafULL);
    EXPECT_EQ(state, zb::kGoldenGamma);

    auto w = makeWorld(1);
    uint64_t copy = w->rngState;
    EXPECT_EQ(zb::drawBits(copy), 0x910a2dec89025cc1ULL);
    EXPECT_EQ(zb::uniform(*w), 0.5665615751722809);
    // Seed 0 starts from the golden gamma instead.
    EXPECT_EQ(makeWorld(0)->rngState, zb::kGoldenGamma);
}

TEST(IdPool, handsOutFromTheTopThenReleasedInReleaseOrder) {
    zb::IdPool pool;
    zb::resetPool(pool, 8);
    for (uint32_t id : {7u, 6u, 5u, 4u}) EXPECT_EQ(*zb::takeId(pool), id);
    zb::releaseId(pool, 6);
    zb::releaseId(pool, 4);
    EXPECT_EQ(*zb::takeId(pool), 6u);
    zb::releaseId(pool, 5);  // not handed out before 4
    EXPECT_EQ(*zb::takeId(pool), 4u);
    EXPECT_EQ(*zb::takeId(pool), 5u);
    EXPECT_FALSE(zb::takeId(pool).has_value());
    EXPECT_EQ(zb::availableIds(pool), 0);
}

TEST(Setup, placesTwoTeamsOfThreeAndTheFirstRuby) {
    auto w = makeWorld(1);
    const int32_t sizes[] = {3, 3};
    zb_setup(w.get(), sizes, 2, nullptr);
    ASSERT_EQ(zb_num_zibbers(w.get()), 6);
    const std::vector<double> z = exportOf(w.get(), zb_zibbers, 6, ZB_ZIBBER_WIDTH);
    auto at = [&](int i, int column) { return z[static_cast<size_t>(i * ZB_ZIBBER_WIDTH + column)]; };
    // The random kind is the first draw of seed 1: floor(0.566 * 4) = 2.
    const double first[] = {254, 57, -3, M_PI, M_PI, 1, 0, 0, 0, 0, 2, -1, 0, 1};
    for (int c = 0; c < ZB_ZIBBER_WIDTH; ++c) EXPECT_EQ(at(0, c), first[c]) << "column " << c;
    EXPECT_EQ(at(1, ZB_ZIBBER_Y), 0.0);
    EXPECT_EQ(at(2, ZB_ZIBBER_Y), 3.0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(at(3 + k, ZB_ZIBBER_ID), 251 - k);
        EXPECT_NEAR(at(3 + k, ZB_ZIBBER_X), -57.0, 1e-13);
        EXPECT_NEAR(at(3 + k, ZB_ZIBBER_Y), 3.0 - 3.0 * k, 1e-13);
        EXPECT_EQ(at(3 + k, ZB_ZIBBER_HEADING), 0.0);  // fmod(2pi, 2pi)
    }
    EXPECT_EQ(w->teamMembers, (std::vector<std::vector<uint32_t>>{{0, 1, 2}, {3, 4, 5}}));
    EXPECT_EQ(exportOf(w.get(), zb_rubys, 1, ZB_RUBY_WIDTH), (std::vector<double>{65534, 0, 0, 0, 0, 1.5, 1.0, 30}));
    std::vector<int32_t> scores(2, -1);
    zb_team_scores(w.get(), scores.data());
    EXPECT_EQ(scores, (std::vector<int32_t>{0, 0}));
}

TEST(Setup, callsThatCannotBeCarriedOutWholeChangeNothing) {
    auto w = makeWorld(9);
    const int32_t sizes[] = {2, 3};
    zb_setup(w.get(), sizes, 2, nullptr);
    for (int i = 0; i < 5; ++i) zb_step(w.get());
    const Snapshot before = snapshot(w.get());

    // 5 of the 251 ids are taken; negative or zero sizes ask for none.
    const int32_t tooMany[] = {200, -5, 47}, huge[] = {INT32_MAX, INT32_MAX, INT32_MAX};
    for (auto [s, count] : {std::pair{sizes, -1}, {nullptr, 2}, {tooMany, 3}, {huge, 3}}) {
        zb_setup(w.get(), s, count, nullptr);
        EXPECT_EQ(snapshot(w.get()), before) << count;
    }

    const int32_t exact[] = {200, 0, 46};
    zb_setup(w.get(), exact, 3, nullptr);
    ASSERT_EQ(zb_num_zibbers(w.get()), 246);
    EXPECT_EQ(w->zibbers.back().id, 4);  // the lowest zibber id
    const Snapshot full = snapshot(w.get());
    zb_setup(w.get(), sizes, 1, nullptr);
    EXPECT_EQ(snapshot(w.get()), full);
}

TEST(Actions, badIndicesAndNonFiniteAnglesAreHarmless) {
    auto w = makeWorld(2);
    const int32_t sizes[] = {2};
    zb_setup(w.get(), sizes, 1, nullptr);
    const Snapshot before = snapshot(w.get());
    zb_set_action(w.get(), -1, ZB_ACTION_TAP, 1.0);
    zb_set_action(w.get(), 2, ZB_ACTION_TAP, 1.0);
    zb_set_action(w.get(), INT32_MIN, ZB_ACTION_HOLD, 1.0);
    EXPECT_EQ(snapshot(w.get()), before);

    const double target = w->zibbers[0].targetHeading;
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        zb_set_action(w.get(), 0, ZB_ACTION_HOLD, bad);
        EXPECT_EQ(w->zibbers[0].targetHeading, target);
        EXPECT_EQ(w->zibbers[0].actionHold, 1);
        zb_set_action(w.get(), 0, ZB_ACTION_TAP, bad);
        EXPECT_EQ(w->zibbers[0].actionTap, 1);
    }
    for (int i = 0; i < 20; ++i) zb_step(w.get());
    EXPECT_TRUE(std::isfinite(w->zibbers[0].heading));
}

TEST(Api, freshAndNullWorldsAndNullBuffers) {
    auto fresh = makeWorld(5);
    for (const zb_world* w : {static_cast<const zb_world*>(nullptr), static_cast<const zb_world*>(fresh.get())}) {
        EXPECT_EQ(zb_tick(w), 0u);
        EXPECT_EQ(zb_map_size(w), w ? 67.0 : 0.0);
        EXPECT_FALSE(zb_is_over(w));
        for (auto count : {zb_num_teams, zb_num_zibbers, zb_num_points, zb_num_rubys, zb_num_obstacles,
                           zb_num_projectiles, zb_num_particles, zb_num_removals})
            EXPECT_EQ(count(w), 0);
        double d = 7.0;
        int32_t i = 7;
        zb_team_scores(w, &i);
        for (auto fn : {zb_zibbers, zb_points, zb_rubys, zb_obstacles, zb_projectiles, zb_particles, zb_removals})
            fn(w, &d);
        EXPECT_EQ(d, 7.0);
        EXPECT_EQ(i, 7);
    }
    zb_destroy(nullptr);
    zb_setup(nullptr, nullptr, 3, nullptr);
    zb_set_action(nullptr, 0, ZB_ACTION_TAP, 0.0);
    zb_step(nullptr);

    zb_step(fresh.get());  // a World without zibbers steps, and is over at once
    EXPECT_EQ(zb_tick(fresh.get()), 1u);
    EXPECT_TRUE(zb_is_over(fresh.get()));
    const int32_t sizes[] = {3};
    zb_setup(fresh.get(), sizes, 1, nullptr);
    zb_step(fresh.get());
    zb_team_scores(fresh.get(), nullptr);
    for (auto fn : {zb_zibbers, zb_points, zb_rubys, zb_obstacles, zb_projectiles, zb_particles, zb_removals})
        fn(fresh.get(), nullptr);
    EXPECT_GT(zb_num_points(fresh.get()), 0);
}

// Worlds share nothing: two stepped in turn with the same calls stay equal.
TEST(Api, interleavedWorldsWithTheSameCallsAgree) {
    auto a = makeWorld(77);
    auto b = makeWorld(77);
    const int32_t sizes[] = {3, 2, 3};
    zb_setup(a.get(), sizes, 3, nullptr);
    zb_setup(b.get(), sizes, 3, nullptr);
    for (int t = 0; t < 400; ++t) {
        for (zb_world* w : {a.get(), b.get()}) {
            for (int i = 0; i < 8; ++i) zb_set_action(w, i, (t + i) % 3, 0.37 * (t + 3 * i));
            zb_step(w);
        }
        ASSERT_EQ(snapshot(a.get()), snapshot(b.get())) << "tick " << t;
    }
}

TEST(Scores, additionsWrapAroundAndTeamsKeepTheBestReached) {
    EXPECT_EQ(zb::addScore(INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(zb::addScore(INT32_MIN, -1), INT32_MAX);
    EXPECT_EQ(zb::addScore(5, (int64_t{1} << 32) + 3), 8);

    zb::Zibber z = makeZibber(200, 0, 0);
    z.score = INT32_MAX;
    auto w = worldWith({z});
    w->arenaPointCount = 100000;  // keeps the scatter out
    zb::upkeepArena(*w);
    zb::addPoint(w->points, zb::Point{65534, 0.5, 0.0, 0});
    zb::collectPoints(*w);
    EXPECT_EQ(w->zibbers[0].score, INT32_MIN);
    zb::upkeepArena(*w);
    EXPECT_EQ(w->teamScores[0], INT32_MAX);
}

TEST(Tuning, constantsToTheBit) {
    EXPECT_EQ(zb::kTapDashSpeed, 0.9525297173240688);
    EXPECT_EQ(zb::kMaxDashCharge, 60.39057135837018);
    EXPECT_EQ(zb::kDecayTime, 9.491221581029905);
    EXPECT_EQ(zb::kDashGrowthRate, 0.010536051565782628);
    EXPECT_EQ(zb::kSubstepDecay, 0.9978950082958632);
    EXPECT_EQ(zb::kWallBounceSpeed, 0.5268025782891315);
    EXPECT_EQ(zb::kWallHitGrowthRate, 0.03160815469734789);
    EXPECT_EQ(zb::kCollisionGrowthRate, 0.05268025782891314);
    EXPECT_EQ(zb::kCollisionBounceSpeed, 0.6321630939469577);
    EXPECT_EQ(zb::kRubyKnockbackSpeed, 3.1608154697347883);
    EXPECT_EQ(zb::kRubyShrinkRate, -0.15804077348673942);
    EXPECT_EQ(zb::kObstacleGrowthRate, 0.021072103131565257);
    EXPECT_EQ(zb::kObstacleBounceSpeed, 0.4214420626313051);
    EXPECT_EQ(zb::kObstaclePulseBounceSpeed, 1.2643261878939154);
    EXPECT_EQ(zb::dashSpeed(1), 1.0241942618449684);
    EXPECT_EQ(zb::dashSpeed(10), 1.5932305359456223);
    EXPECT_EQ(zb::dashSpeed(61), 4.244278443366056);
}
