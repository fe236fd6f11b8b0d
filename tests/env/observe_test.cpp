// Observation vectors of hand-made states.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>

#include "env/observe.h"

namespace zbenv {
namespace {

using zbhost::Snapshot;

struct Scene {
    Snapshot s;
    std::vector<int32_t> teams;

    void zibber(double x, double y, double heading, int32_t team, double alive = 1.0) {
        double row[ZB_ZIBBER_WIDTH] = {};
        row[ZB_ZIBBER_X] = x;
        row[ZB_ZIBBER_Y] = y;
        row[ZB_ZIBBER_HEADING] = row[ZB_ZIBBER_TARGET_HEADING] = heading;
        row[ZB_ZIBBER_RADIUS] = 1.0;
        row[ZB_ZIBBER_CHARGE_TICKS] = -1.0;
        row[ZB_ZIBBER_ALIVE] = alive;
        s.zibbers.insert(s.zibbers.end(), row, row + ZB_ZIBBER_WIDTH);
        teams.push_back(team);
        ++s.numZibbers;
    }
    void point(double x, double y) {
        s.points.insert(s.points.end(), {static_cast<double>(s.numPoints), x, y, 1.0});
        ++s.numPoints;
    }

    // The observation of zibber i, cut into the named block's slots.
    std::vector<float> observe(const ObsLayout& layout, int32_t i) {
        s.mapSize = 67.0;
        std::vector<float> out(static_cast<size_t>(observationSize(layout)), -1.0f);
        ObserveScratch scratch;
        PointMirror points;
        MirrorScratch mirrorScratch;
        fillPointMirror(s.points.data(), s.numPoints, points, mirrorScratch);
        prepareObservations(s, scratch);
        double reach = INFINITY;
        observeZibber(s, teams.data(), layout, i, points, reach, scratch, out.data());
        return out;
    }
};

constexpr ObsLayout kLayout{2, 1, 2, 1, 2, 1, 10.0};
constexpr int32_t kRivals = ENV_OWN_FEATURES;
constexpr int32_t kMates = kRivals + 2 * ENV_ZIBBER_FEATURES;
constexpr int32_t kPoints = kMates + ENV_ZIBBER_FEATURES;
constexpr int32_t kRubys = kPoints + 2 * ENV_POINT_FEATURES;
constexpr int32_t kObstacles = kRubys + ENV_RUBY_FEATURES;
constexpr int32_t kProjectiles = kObstacles + 2 * ENV_OBSTACLE_FEATURES;

void expectSlot(const std::vector<float>& obs, int32_t at, std::vector<double> want) {
    for (size_t f = 0; f < want.size(); ++f) EXPECT_NEAR(obs[at + f], want[f], 1e-6) << "feature " << f;
}

TEST(Observe, PositionsAreInTheHeadingFrameNearestFirst) {
    // Facing +y: a point to the west is on the left, one to the north ahead.
    Scene scene;
    scene.zibber(5, 5, std::numbers::pi / 2, 0);
    scene.point(5, 9);
    scene.point(3, 5);
    std::vector<float> obs = scene.observe(kLayout, 0);
    expectSlot(obs, kPoints, {1, 0, 0.2});
    expectSlot(obs, kPoints + ENV_POINT_FEATURES, {1, 0.4, 0});
    expectSlot(obs, 11, {(67 - std::hypot(5.0, 5.0) - 1) / 10, -0.5, 0.5});  // rim gap, centre
    // Nothing else around: empty slots are zero.
    for (int32_t f = kRivals; f < kPoints; ++f) EXPECT_EQ(obs[f], 0.0f);
}

TEST(Observe, RivalsAndMatesAreSplitByTeamAndSkipTheDead) {
    Scene scene;
    scene.zibber(0, 0, 0, 0);                  // observer
    scene.zibber(3, 0, 0, 0);                  // mate
    scene.zibber(-2, 0, std::numbers::pi, 1);  // rival, nearest
    scene.zibber(0, 6, 0, 1, 0.0);             // dead rival: never seen
    scene.zibber(0, -8, 0, 1);                 // rival, further
    std::vector<float> obs = scene.observe(kLayout, 0);
    expectSlot(obs, kRivals, {1, -0.2, 0, 0, 0, 0, -1, 0, 0.25, 0, 0});
    expectSlot(obs, kRivals + ENV_ZIBBER_FEATURES, {1, 0, -0.8, 0.6});
    expectSlot(obs, kMates, {1, 0.3, 0, 0.1});
    std::vector<float> dead = scene.observe(kLayout, 3);
    EXPECT_TRUE(std::all_of(dead.begin(), dead.end(), [](float v) { return v == 0.0f; }));
}

TEST(Observe, ObstaclesRubysAndShotsMeasureWhatMatters) {
    Scene scene;
    scene.zibber(0, 0, 0, 0);
    // A hazard segment ahead, and a disc behind whose B end must not count.
    scene.s.obstacles = {0, 0, 4, -5, 4, 5, 0.5, 1, 0, 0, 0, 1, 1, -10, 0, 50, 50, 3, 0, 0, 0, 0};
    scene.s.numObstacles = 2;
    scene.s.rubys = {65534, 0, 3, 0, 0, 1.5, 0.5, 0};
    scene.s.numRubys = 1;
    // A removed shot is ignored although it is nearer.
    scene.s.projectiles = {5, 1, 0, 0, 0, 1, 0.3, 4, 2, 0, 0, 0.6, 0, 0.3};
    scene.s.numProjectiles = 2;
    std::vector<float> obs = scene.observe(kLayout, 0);
    expectSlot(obs, kObstacles, {1, 0.4, 0, 0.25, 1, 0.125});
    expectSlot(obs, kObstacles + ENV_OBSTACLE_FEATURES, {1, -1.0, 0, 0.6, 0, 0.75});
    expectSlot(obs, kRubys, {1, 0, 0.3, 0.75, 1});
    expectSlot(obs, kProjectiles, {1, 0.2, 0, 0, 0.6});
}

TEST(Observe, ALayoutWithoutNeighboursKeepsTheOwnFeatures) {
    Scene scene;
    scene.zibber(0, 0, 0.3, 0);
    scene.zibber(3, 0, 0, 1);
    scene.point(1, 1);
    scene.s.obstacles = {0, 0, 4, -5, 4, 5, 0.5, 1, 0, 0, 0, 1, 1, -10, 0, 50, 50, 3, 0, 0, 0, 0};
    scene.s.numObstacles = 2;
    std::vector<float> full = scene.observe(kLayout, 0);
    std::vector<float> own = scene.observe(ObsLayout{0, 0, 0, 0, 0, 0, 10.0}, 0);
    ASSERT_EQ(own.size(), static_cast<size_t>(ENV_OWN_FEATURES));
    EXPECT_TRUE(std::equal(own.begin(), own.end(), full.begin()));
}

}  // namespace
}  // namespace zbenv
