// Observation vectors of hand-made states, and the point grid against a scan
// of every point.
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
        double reach = INFINITY;
        prepareObservations(s, &i, 1, layout, &reach, scratch);
        observeZibber(s, teams.data(), layout, i, scratch.points[0], scratch, out.data());
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

TEST(PointGrid, BothWaysFindTheNearestThatATestOfEveryPointFinds) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> coord(-60, 60);
    for (int32_t count : {0, 1, 7, 600}) {
        std::vector<double> points;
        for (int32_t i = 0; i < count; ++i) {
            // Every fifth point sits on an earlier one: ties go to the lower index.
            bool twin = i % 5 == 4;
            double x = twin ? points[points.size() - 4 * 4 + 1] : std::round(coord(rng));
            double y = twin ? points[points.size() - 4 * 4 + 2] : coord(rng);
            points.insert(points.end(), {0.0, x, y, 0.0});
        }
        // Some observers outside every point, and outside the grid.
        std::vector<double> xs(40), ys(40);
        for (size_t o = 0; o < xs.size(); ++o) xs[o] = coord(rng) * 1.3, ys[o] = coord(rng) * 1.3;
        for (int32_t observers : {3, 11, 40}) {
            for (int32_t k : {0, 1, 6, 11}) {
                PointGrid grid;
                buildPointGrid(points.data(), count, ZB_POINT_WIDTH, 50.0, observers, grid);
                std::vector<NearestK> got(static_cast<size_t>(observers));
                // No hint, then last call's reach as the hint, then hints far too short.
                std::vector<double> reach(static_cast<size_t>(observers), INFINITY);
                for (int32_t call = 0; call < 3; ++call) {
                    if (call == 2) std::fill(reach.begin(), reach.end(), 0.1);
                    nearestPoints(grid, xs.data(), ys.data(), observers, k, reach.data(), got.data());
                    for (int32_t o = 0; o < observers; ++o) {
                        NearestK want;
                        want.clear(k);
                        for (int32_t i = 0; i < count; ++i) {
                            double dx = points[i * 4 + 1] - xs[o], dy = points[i * 4 + 2] - ys[o];
                            want.offer(dx * dx + dy * dy, i);
                        }
                        ASSERT_EQ(got[o].count, want.count);
                        for (int32_t j = 0; j < want.count; ++j)
                            ASSERT_EQ(got[o].slots[j].index, want.slots[j].index) << observers << " " << k;
                        ASSERT_EQ(reach[o], k > 0 && want.full() ? want.worst().key : INFINITY);
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace zbenv
