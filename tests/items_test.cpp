// Ties and exact limits of point pickup, obstacle culling and rubies.
#include <gtest/gtest.h>

#include <cmath>

#include "core/tuning.h"
#include "test_support.h"

using namespace zbtest;

namespace {

zb::Obstacle disc(uint32_t id, double x, double y, double radius) {
    return zb::Obstacle{id, 1, x, y, 0.0, 0.0, radius, 0, 0.0, 0.0, 0.0};
}

zb::Obstacle segment(uint32_t id, double ax, double ay, double bx, double by) {
    return zb::Obstacle{id, 0, ax, ay, bx, by, 0.5, 0, 0.0, 0.0, 0.0};
}

}  // namespace

TEST(Points, rimCullAndPickupAtExactReachTiesAndOrderOfRemovals) {
    std::vector<zb::Zibber> zs;
    for (int i = 0; i < 6; ++i) zs.push_back(makeZibber(200 - i, 0.0, 0.0));
    zs[0].alive = 0;  // dead zibbers never collect
    zs[3].x = 10.0;
    zs[5].x = 10.5;
    zs[1] = makeZibber(199, 30.0, 0.0);
    zs[1].radius = 2.0;
    zs[2] = makeZibber(198, 0.0, 60.0);
    zs[4] = makeZibber(196, -40.0, 0.0);
    auto w = worldWith(std::move(zs));
    setPoints(w.get(), {
                           {20, 31.0, 3.0, 1},   // exactly sqrt(2.5) radii from zibber 1: collected
                           {21, 10.8, 0.0, 0},   // in reach of zibbers 3 and 5: the lower index wins
                           {22, 0.0, 0.0, 0},    // only the dead zibber is here
                           {23, 0.0, 69.0, 1},   // beyond the rim and in reach of zibber 2: culled
                           {24, -40.0, 1.6, 0},  // just out of reach
                           {25, 68.5, 0.0, 1},   // exactly at the cull limit, 67 + 1.5: culled
                           {26, std::nextafter(68.5, 0.0), 0.0, 1},
                       });
    w->arenaPointCount = 4;
    zb::collectPoints(*w);
    ASSERT_EQ(pointsOf(w.get()).size(), 3u);
    EXPECT_EQ(pointsOf(w.get())[0].id, 22u);
    EXPECT_EQ(pointsOf(w.get())[1].id, 24u);
    EXPECT_EQ(pointsOf(w.get())[2].id, 26u);
    EXPECT_EQ(w->zibbers[1].score, 1);
    EXPECT_EQ(w->zibbers[2].score, 0);
    EXPECT_EQ(w->zibbers[3].score, 1);
    EXPECT_EQ(w->zibbers[5].score, 0);
    EXPECT_EQ(w->arenaPointCount, 1);
    ASSERT_EQ(w->removals.size(), 4u);
    EXPECT_EQ(w->removals[0].y, 69.0);  // rim deletions come first, where the point was
    EXPECT_EQ(w->removals[2].x, 30.5);  // a pickup: midway between zibber and point
    EXPECT_EQ(w->removals[2].y, 1.5);
    EXPECT_EQ(queuedIds(w->pointIds), (std::vector<uint32_t>{23, 25, 20, 21}));
}

TEST(Obstacles, cullJudgesSegmentsByTheirNearestPointAndCoincidentOnesStay) {
    auto w = makeWorld();
    w->obstacles = {disc(10, 71.0, 0.0, 2.0), disc(11, 0.0, 71.5, 2.0),
                    segment(12, 80.0, -30.0, 80.0, 30.0),  // nearest point far outside
                    segment(13, 60.0, -70.0, 60.0, 70.0),  // both ends outside, middle inside
                    segment(14, 69.6, 0.0, 69.6, 0.0)};    // zero length: judged by A
    w->obstacles[0].chargeRate = 0.05;
    zb::moveObstacles(*w);
    ASSERT_EQ(w->obstacles.size(), 2u);
    EXPECT_EQ(w->obstacles[1].id, 13u);
    EXPECT_EQ(queuedIds(w->obstacleIds), (std::vector<uint32_t>{11, 12, 14}));
    EXPECT_EQ(w->obstacles[0].charge, 0.05);
    EXPECT_TRUE(w->removals.empty());

    w->obstacles = {disc(10, 5.0, 5.0, 2.0), disc(11, 5.0, 5.0, 3.0)};
    zb::moveObstacles(*w);
    EXPECT_EQ(w->obstacles[0].ax, 5.0);  // coincident A points do not repel
    EXPECT_EQ(w->obstacles[1].ay, 5.0);
}

// A quarter or less no longer ages, and two bites of 0.1 leave less than 0.15:
// the two share the rest, 12.5 points each, rounded away from zero.
TEST(Rubies, finalBiteSplitsTheRest) {
    auto w = worldWith({makeZibber(100, -0.5, 0.0), makeZibber(99, 0.5, 0.0)});
    w->rubies = {zb::Ruby{7, 0.0, 0.0, 0.0, 0.0, 1.0, 0.25, 0}};
    zb::updateRubies(*w);
    EXPECT_TRUE(w->rubies.empty());
    EXPECT_EQ(w->zibbers[0].score, 13);
    EXPECT_EQ(w->zibbers[1].score, 13);
    ASSERT_EQ(w->particles.size(), 2u);
    EXPECT_EQ(w->particles[0].kind, ZB_PARTICLE_FINAL_BITE);
    EXPECT_EQ(w->particles[1].kind, ZB_PARTICLE_FINAL_BITE);
    EXPECT_TRUE(queuedIds(w->rubyIds).empty());  // ruby ids are never reused
    EXPECT_TRUE(w->removals.empty());
}

TEST(Rubies, bounceOffTheRimAndPushFromTheCentre) {
    auto w = makeWorld();
    w->rubies = {zb::Ruby{7, 70.0, 0.0, 1.0, 0.0, 1.0, 0.2, 30}};
    zb::updateRubies(*w);
    EXPECT_EQ(w->rubies[0].x, 67.0 - 0.2);
    EXPECT_EQ(w->rubies[0].vx, -zb::kWallBounceSpeed);
    // A ruby larger than the arena lands on the opposite side of the centre.
    w->mapSize = 1.0;
    w->rubies = {zb::Ruby{7, 5.0, 0.0, 0.0, 0.0, 2.0, 1.0, 30}};
    zb::updateRubies(*w);
    EXPECT_NEAR(w->rubies[0].x, -(w->rubies[0].scale * w->rubies[0].remaining - 1.0), 1e-15);
    EXPECT_EQ(w->rubies[0].vx, -zb::kWallBounceSpeed);

    auto c = worldWith({makeZibber(100, 3.0, 4.0)});
    c->rubies = {zb::Ruby{7, 3.0, 4.0, 0.0, 0.0, 1.0, 0.2, 30}};
    zb::updateRubies(*c);
    EXPECT_EQ(c->zibbers[0].x, 3.0 - 1.2);  // a zibber on the centre goes along -x
    EXPECT_EQ(c->zibbers[0].y, 4.0);
}
