// World lifecycle, ids, random source, setup, actions and exports.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/tuning.h"
#include "test_support.h"

using namespace zbtest;

TEST(RandomSource, SplitMixOutputsAndUniform) {
    uint64_t state = 0;
    EXPECT_EQ(zb::drawBits(state), 0xe220a8397b1dcdafULL);
    EXPECT_EQ(state, zb::kGoldenGamma);

    auto w = makeWorld(1);
    uint64_t copy = w->rngState;
    EXPECT_EQ(zb::drawBits(copy), 0x910a2dec89025cc1ULL);
    const double u = zb::uniform(*w);
    EXPECT_EQ(u, 0.5665615751722809);
    EXPECT_EQ(static_cast<int>(u * 4.0), 2);
}

TEST(RandomSource, SeedZeroIsTheGoldenGamma) {
    auto a = makeWorld(0);
    auto b = makeWorld(0x9e3779b97f4a7c15ULL);
    const int32_t sizes[] = {2, 2};
    zb_setup(a.get(), sizes, 2, nullptr);
    zb_setup(b.get(), sizes, 2, nullptr);
    for (int i = 0; i < 50; ++i) {
        zb_step(a.get());
        zb_step(b.get());
    }
    EXPECT_EQ(snapshot(a.get()), snapshot(b.get()));
}

TEST(IdPool, HandsOutFromTheTopThenReleasedInReleaseOrder) {
    zb::IdPool pool;
    zb::resetPool(pool, 8);
    EXPECT_EQ(*zb::takeId(pool), 7u);
    EXPECT_EQ(*zb::takeId(pool), 6u);
    EXPECT_EQ(*zb::takeId(pool), 5u);
    EXPECT_EQ(*zb::takeId(pool), 4u);
    zb::releaseId(pool, 6);
    zb::releaseId(pool, 4);
    EXPECT_EQ(*zb::takeId(pool), 6u);
    zb::releaseId(pool, 5);  // not handed out before 4
    EXPECT_EQ(*zb::takeId(pool), 4u);
    EXPECT_EQ(*zb::takeId(pool), 5u);
    EXPECT_FALSE(zb::takeId(pool).has_value());
    EXPECT_EQ(zb::availableIds(pool), 0);
    EXPECT_TRUE(queuedIds(pool).empty());

    zb::IdPool empty;
    zb::resetPool(empty, 4);
    EXPECT_FALSE(zb::takeId(empty).has_value());
}

TEST(IdPool, FreshZibberPoolCountsDownTo4) {
    zb::IdPool pool;
    zb::resetPool(pool, 255);
    EXPECT_EQ(*zb::takeId(pool), 254u);
    uint32_t last = 0;
    for (int i = 1; i < 251; ++i) last = *zb::takeId(pool);
    EXPECT_EQ(last, 4u);
    EXPECT_FALSE(zb::takeId(pool).has_value());
    zb::releaseId(pool, 17);
    EXPECT_EQ(*zb::takeId(pool), 17u);
}

TEST(World, FreshWorldReads) {
    auto w = makeWorld(5);
    EXPECT_EQ(zb_tick(w.get()), 0u);
    EXPECT_EQ(zb_map_size(w.get()), 67.0);
    EXPECT_FALSE(zb_is_over(w.get()));
    for (auto count : {zb_num_teams, zb_num_zibbers, zb_num_points, zb_num_rubys, zb_num_obstacles, zb_num_projectiles,
                       zb_num_particles, zb_num_removals}) {
        EXPECT_EQ(count(w.get()), 0);
    }
    double sentinel = 123.0;
    zb_zibbers(w.get(), &sentinel);
    zb_removals(w.get(), &sentinel);
    EXPECT_EQ(sentinel, 123.0);
}

TEST(World, EmptyWorldSteps) {
    auto w = makeWorld(5);
    zb_step(w.get());
    zb_step(w.get());
    EXPECT_EQ(zb_tick(w.get()), 2u);
    EXPECT_TRUE(zb_is_over(w.get()));  // nobody alive
    EXPECT_GT(zb_num_points(w.get()), 0);
}

TEST(Setup, PlacesTwoTeamsOfThree) {
    auto w = makeWorld(1);
    const int32_t sizes[] = {3, 3};
    zb_setup(w.get(), sizes, 2, nullptr);
    ASSERT_EQ(zb_num_zibbers(w.get()), 6);
    ASSERT_EQ(zb_num_rubys(w.get()), 1);
    std::vector<double> z = exportOf(w.get(), zb_zibbers, 6, ZB_ZIBBER_WIDTH);
    const double expectedFirst[] = {254, 57, -3, M_PI, M_PI, 1, 0, 0, 0, 0, z[10], -1, 0, 1};
    for (int i = 0; i < ZB_ZIBBER_WIDTH; ++i) EXPECT_EQ(z[i], expectedFirst[i]) << "field " << i;
    EXPECT_EQ(z[1 * 14 + 2], 0.0);
    EXPECT_EQ(z[2 * 14 + 2], 3.0);
    for (int k = 0; k < 3; ++k) {
        const double* t1 = &z[(3 + k) * 14];
        EXPECT_EQ(t1[0], 251 - k);
        EXPECT_NEAR(t1[1], -57.0, 1e-13);
        EXPECT_NEAR(t1[2], 3.0 - 3.0 * k, 1e-13);
        EXPECT_EQ(t1[3], 0.0);  // fmod(2pi, 2pi)
    }
    EXPECT_EQ(w->teamMembers, (std::vector<std::vector<uint32_t>>{{0, 1, 2}, {3, 4, 5}}));
    // Random kinds: one draw per zibber, the first being the seed-1 uniform.
    EXPECT_EQ(z[10], 2.0);
    std::vector<double> ruby = exportOf(w.get(), zb_rubys, 1, ZB_RUBY_WIDTH);
    EXPECT_EQ(ruby, (std::vector<double>{65534, 0, 0, 0, 0, 1.5, 1.0, 30}));
    std::vector<int32_t> scores(2, -1);
    zb_team_scores(w.get(), scores.data());
    EXPECT_EQ(scores, (std::vector<int32_t>{0, 0}));
}

TEST(Setup, GivenKindsConsumeNoDraws) {
    auto w = makeWorld(1);
    const uint64_t before = w->rngState;
    const int32_t sizes[] = {1, 0, 2};
    const int32_t kinds[] = {7, -1, 3};
    zb_setup(w.get(), sizes, 3, kinds);
    ASSERT_EQ(zb_num_zibbers(w.get()), 3);
    EXPECT_EQ(w->zibbers[0].kind, 7);
    EXPECT_EQ(w->zibbers[1].kind, 2);  // the one draw
    EXPECT_EQ(w->zibbers[2].kind, 3);
    uint64_t expected = before;
    zb::drawBits(expected);
    EXPECT_EQ(w->rngState, expected);
    // The empty team keeps its place on the circle: team 2 sits at 240 degrees.
    EXPECT_NEAR(std::atan2(w->zibbers[1].y + w->zibbers[2].y, w->zibbers[1].x + w->zibbers[2].x), -2.0 * M_PI / 3,
                1e-12);
    EXPECT_EQ(w->teamMembers[1].size(), 0u);
}

TEST(Setup, SecondSetupReplacesZibbersAndAddsARuby) {
    auto w = makeWorld(3);
    const int32_t one[] = {1};
    zb_setup(w.get(), one, 1, nullptr);
    zb_setup(w.get(), one, 1, nullptr);
    ASSERT_EQ(zb_num_zibbers(w.get()), 1);
    EXPECT_EQ(w->zibbers[0].id, 253);
    ASSERT_EQ(zb_num_rubys(w.get()), 2);
    EXPECT_EQ(w->rubies[0].id, 65534u);
    EXPECT_EQ(w->rubies[1].id, 65533u);
}

TEST(Setup, CountZeroMakesOnlyARuby) {
    auto w = makeWorld(3);
    zb_setup(w.get(), nullptr, 0, nullptr);
    EXPECT_EQ(zb_num_teams(w.get()), 0);
    EXPECT_EQ(zb_num_zibbers(w.get()), 0);
    EXPECT_EQ(zb_num_rubys(w.get()), 1);
}

TEST(Setup, InvalidCallsChangeNothing) {
    auto w = makeWorld(9);
    const int32_t sizes[] = {2, 3};
    zb_setup(w.get(), sizes, 2, nullptr);
    for (int i = 0; i < 5; ++i) zb_step(w.get());
    const Snapshot before = snapshot(w.get());

    zb_setup(w.get(), sizes, -1, nullptr);
    EXPECT_EQ(snapshot(w.get()), before);
    zb_setup(w.get(), nullptr, 2, nullptr);
    EXPECT_EQ(snapshot(w.get()), before);
    // 5 ids are taken; 246 remain, and negative or zero sizes ask for none.
    const int32_t tooMany[] = {200, -5, 47};
    zb_setup(w.get(), tooMany, 3, nullptr);
    EXPECT_EQ(snapshot(w.get()), before);
    const int32_t huge[] = {INT32_MAX, INT32_MAX, INT32_MAX};
    zb_setup(w.get(), huge, 3, nullptr);
    EXPECT_EQ(snapshot(w.get()), before);

    const int32_t exact[] = {200, 0, 46};
    zb_setup(w.get(), exact, 3, nullptr);
    EXPECT_EQ(zb_num_zibbers(w.get()), 246);
}

TEST(Setup, RepeatedResetsStopAtThePoolLimit) {
    auto w = makeWorld(4);
    const int32_t sizes[] = {4, 4};
    int accepted = 0;
    for (int i = 0; i < 40; ++i) {
        const int64_t avail = zb::availableIds(w->zibberIds);
        zb_setup(w.get(), sizes, 2, nullptr);
        if (avail >= 8) {
            ++accepted;
            EXPECT_EQ(zb::availableIds(w->zibberIds), avail - 8);
        } else {
            EXPECT_EQ(zb::availableIds(w->zibberIds), avail);
        }
    }
    EXPECT_EQ(accepted, 31);  // 251 ids, 8 per setup, none given back
    EXPECT_EQ(zb_num_zibbers(w.get()), 8);
}

TEST(Actions, TapLastsOneStepHoldPersists) {
    auto w = makeWorld(2);
    const int32_t sizes[] = {1, 1};
    zb_setup(w.get(), sizes, 2, nullptr);
    zb_set_action(w.get(), 0, 1, 0.5);
    EXPECT_EQ(w->zibbers[0].actionTap, 1);
    EXPECT_EQ(w->zibbers[0].actionHold, 0);
    zb_step(w.get());
    EXPECT_EQ(w->zibbers[0].actionTap, 0);

    zb_set_action(w.get(), 1, 2, 1.5);
    for (int i = 0; i < 3; ++i) {
        zb_step(w.get());
        EXPECT_EQ(w->zibbers[1].actionHold, 1);
    }
    zb_set_action(w.get(), 1, 0, 2.5);
    EXPECT_EQ(w->zibbers[1].actionHold, 0);
    EXPECT_EQ(w->zibbers[1].actionTap, 0);
    EXPECT_EQ(w->zibbers[1].targetHeading, 2.5);
    zb_set_action(w.get(), 1, 99, 3.5);
    EXPECT_EQ(w->zibbers[1].targetHeading, 3.5);
    EXPECT_EQ(w->zibbers[1].actionHold, 0);
}

TEST(Actions, BadIndicesAndNonFiniteAnglesAreHarmless) {
    auto w = makeWorld(2);
    const int32_t sizes[] = {2};
    zb_setup(w.get(), sizes, 1, nullptr);
    const Snapshot before = snapshot(w.get());
    zb_set_action(w.get(), -1, 1, 1.0);
    zb_set_action(w.get(), 2, 1, 1.0);
    zb_set_action(w.get(), INT32_MIN, 2, 1.0);
    EXPECT_EQ(snapshot(w.get()), before);

    const double target = w->zibbers[0].targetHeading;
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        zb_set_action(w.get(), 0, 2, bad);
        EXPECT_EQ(w->zibbers[0].targetHeading, target);
        EXPECT_EQ(w->zibbers[0].actionHold, 1);
        zb_set_action(w.get(), 0, 1, bad);
        EXPECT_EQ(w->zibbers[0].actionTap, 1);
    }
    for (int i = 0; i < 20; ++i) zb_step(w.get());
    EXPECT_TRUE(std::isfinite(w->zibbers[0].heading));
}

TEST(Api, NullHandlesAndBuffersAreAccepted) {
    zb_destroy(nullptr);
    zb_setup(nullptr, nullptr, 3, nullptr);
    zb_set_action(nullptr, 0, 1, 0.0);
    zb_step(nullptr);
    EXPECT_EQ(zb_tick(nullptr), 0u);
    EXPECT_EQ(zb_map_size(nullptr), 0.0);
    EXPECT_FALSE(zb_is_over(nullptr));
    for (auto count : {zb_num_teams, zb_num_zibbers, zb_num_points, zb_num_rubys, zb_num_obstacles, zb_num_projectiles,
                       zb_num_particles, zb_num_removals}) {
        EXPECT_EQ(count(nullptr), 0);
    }
    double d = 7.0;
    int32_t i = 7;
    zb_team_scores(nullptr, &i);
    for (auto fn : {zb_zibbers, zb_points, zb_rubys, zb_obstacles, zb_projectiles, zb_particles, zb_removals}) {
        fn(nullptr, &d);
    }
    EXPECT_EQ(d, 7.0);
    EXPECT_EQ(i, 7);

    auto w = makeWorld(2);
    const int32_t sizes[] = {3};
    zb_setup(w.get(), sizes, 1, nullptr);
    zb_step(w.get());
    zb_team_scores(w.get(), nullptr);
    for (auto fn : {zb_zibbers, zb_points, zb_rubys, zb_obstacles, zb_projectiles, zb_particles, zb_removals}) {
        fn(w.get(), nullptr);
    }
}

TEST(Api, EventArraysDescribeOnlyTheLastStep) {
    auto w = makeWorld(2);
    const int32_t sizes[] = {1};
    zb_setup(w.get(), sizes, 1, nullptr);
    w->particles.push_back(zb::Particle{2, 0, 0, 0, -1, -1, -1});
    w->removals.push_back(zb::Removal{9, 0, 0});
    EXPECT_EQ(zb_num_particles(w.get()), 1);
    zb_step(w.get());  // a quiet step in the middle of the arena
    EXPECT_EQ(zb_num_particles(w.get()), 0);
    EXPECT_EQ(zb_num_removals(w.get()), 0);
}

TEST(Api, InterleavedWorldsWithTheSameCallsAgree) {
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

TEST(Scores, AdditionsWrapAround) {
    EXPECT_EQ(zb::addScore(INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(zb::addScore(INT32_MIN, -1), INT32_MAX);
    EXPECT_EQ(zb::addScore(5, (int64_t{1} << 32) + 3), 8);

    auto w = makeWorld(2);
    zb::Zibber z = makeZibber(200, 0, 0);
    z.score = INT32_MAX;
    addZibbers(w.get(), {z});
    zb::addPoint(w->points, zb::Point{65534, 0.5, 0.0, 0});
    zb::collectPoints(*w);
    EXPECT_EQ(w->zibbers[0].score, INT32_MIN);
}

TEST(Tuning, ConstantsMatchTheirTableValuesToTheBit) {
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
}
