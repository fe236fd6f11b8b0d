// The kept points against the World's own export, step by step, and their
// nearest points against a test of every point.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "env/point_mirror.h"
#include "host/world_handle.h"

namespace zbenv {
namespace {

// The k nearest of export rows by a test of every point, ties to the lower row.
NearestK everyPoint(const std::vector<double>& rows, double x, double y, int32_t k) {
    NearestK want;
    want.clear(k);
    for (int32_t i = 0; i < static_cast<int32_t>(rows.size() / ZB_POINT_WIDTH); ++i) {
        double dx = rows[i * ZB_POINT_WIDTH + ZB_POINT_X] - x, dy = rows[i * ZB_POINT_WIDTH + ZB_POINT_Y] - y;
        want.offer(dx * dx + dy * dy, i);
    }
    return want;
}

// reach: the hint in, as nearestPoints takes it; checked on the way out.
void expectSameNearest(const PointMirror& m, const std::vector<double>& rows, double x, double y, int32_t k,
                       double& reach) {
    NearestK got;
    nearestPoints(m, x, y, k, reach, got);
    NearestK want = everyPoint(rows, x, y, k);
    ASSERT_EQ(reach, k > 0 && want.full() ? want.worst().key : INFINITY);
    ASSERT_EQ(got.count, want.count) << "k " << k << " at " << x << ", " << y;
    for (int32_t j = 0; j < want.count; ++j) {
        const MirrorPoint p = pointAt(m, got.slots[j].index);
        const double* row = rows.data() + want.slots[j].index * ZB_POINT_WIDTH;
        ASSERT_EQ(p.x, row[ZB_POINT_X]) << "slot " << j << " of " << k;
        ASSERT_EQ(p.y, row[ZB_POINT_Y]) << "slot " << j << " of " << k;
        ASSERT_EQ(got.slots[j].key, want.slots[j].key);
    }
}

TEST(PointMirror, FindsWhatATestOfEveryPointFindsTiesIncluded) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> coord(-60, 60);
    for (int32_t count : {0, 1, 7, 600}) {
        std::vector<double> rows;
        for (int32_t i = 0; i < count; ++i) {
            // Every fifth point sits on an earlier one: ties go to the earlier.
            bool twin = i % 5 == 4;
            double x = twin ? rows[rows.size() - 4 * ZB_POINT_WIDTH + 1] : std::round(coord(rng));
            double y = twin ? rows[rows.size() - 4 * ZB_POINT_WIDTH + 2] : coord(rng);
            rows.insert(rows.end(), {static_cast<double>(i), x, y, 0.0});
        }
        PointMirror m;
        MirrorScratch scratch;
        fillPointMirror(rows.data(), count, m, scratch);
        // Observers among the points, and outside every point and the grid.
        for (int32_t o = 0; o < 40; ++o) {
            double x = coord(rng) * 1.3, y = coord(rng) * 1.3;
            // No hint, a hint far too short, one far too long.
            for (int32_t k : {0, 1, 6, 11})
                for (double reach : {double{INFINITY}, 0.01, 1e4}) expectSameNearest(m, rows, x, y, k, reach);
        }
    }
}

// Points taken, culled at a shrinking rim, scattered and dropped by bursts:
// after every step the kept points are the export's, in its order.
TEST(PointMirror, FollowsRealMatchesStepByStep) {
    struct Case {
        std::vector<int32_t> sizes;
        uint64_t seed;
        int32_t steps;
    };
    for (const Case& c : {Case{{2, 2}, 5, 3000}, Case{{8, 8}, 6, 1500}, Case{{1, 1}, 7, 1500}}) {
        zbhost::WorldHandle world(zb_create(c.seed));
        zb_setup(world.get(), c.sizes.data(), static_cast<int32_t>(c.sizes.size()), nullptr);
        PointMirror m;
        MirrorScratch scratch;
        loadPointMirror(world.get(), m, scratch, nullptr);
        std::mt19937_64 rng(c.seed);
        std::uniform_real_distribution<double> angle(-4, 4);
        std::vector<double> rows, zibbers;
        std::vector<double> reach(3 * 64, INFINITY);  // per zibber and k, as a match keeps it
        int32_t appended = 0;
        for (int32_t step = 0; step < c.steps && !zb_is_over(world.get()); ++step) {
            const int32_t n = zb_num_zibbers(world.get());
            for (int32_t i = 0; i < n; ++i) zb_set_action(world.get(), i, static_cast<int32_t>(rng() % 3), angle(rng));
            const int32_t before = m.live;
            zb_step(world.get());
            rows.resize(static_cast<size_t>(zb_num_points(world.get())) * ZB_POINT_WIDTH);
            if (!rows.empty()) zb_points(world.get(), rows.data());
            // Every other step from the caller's copy of the export, as with bots.
            const double* exported = step % 2 && !rows.empty() ? rows.data() : nullptr;
            ASSERT_TRUE(syncPointMirror(world.get(), m, scratch, exported)) << "step " << step;
            appended += std::max(0, m.live - before + zb_num_removals(world.get()));

            std::vector<std::tuple<int64_t, double, double>> kept;
            for (size_t i = 0; i < m.grid.size(); ++i)
                if (m.gridOrder[i] >= 0) kept.emplace_back(m.gridOrder[i], m.grid[i].x, m.grid[i].y);
            for (const FreshPoint& p : m.fresh) kept.emplace_back(p.order, p.x, p.y);
            std::sort(kept.begin(), kept.end());
            ASSERT_EQ(kept.size() * ZB_POINT_WIDTH, rows.size()) << "step " << step;
            for (size_t i = 0; i < kept.size(); ++i) {
                ASSERT_EQ(std::get<1>(kept[i]), rows[i * ZB_POINT_WIDTH + ZB_POINT_X]) << "step " << step;
                ASSERT_EQ(std::get<2>(kept[i]), rows[i * ZB_POINT_WIDTH + ZB_POINT_Y]) << "step " << step;
            }
            if (step % 5 != 0) continue;
            zibbers.resize(static_cast<size_t>(n) * ZB_ZIBBER_WIDTH);
            zb_zibbers(world.get(), zibbers.data());
            for (int32_t i = 0; i < n; ++i)
                for (int32_t j = 0; j < 3; ++j)
                    expectSameNearest(m, rows, zibbers[i * ZB_ZIBBER_WIDTH + ZB_ZIBBER_X],
                                      zibbers[i * ZB_ZIBBER_WIDTH + ZB_ZIBBER_Y], std::array{1, 6, 40}[j],
                                      reach[i * 3 + j]);
        }
        // The matches did add points along the way, not just take them.
        EXPECT_GT(appended, 100) << c.sizes.size();
    }
}

}  // namespace
}  // namespace zbenv
