// Point culling and pickup, obstacle drift and repulsion, ruby drift and bites.
#include <gtest/gtest.h>

#include <cmath>

#include "core/tuning.h"
#include "test_support.h"

using namespace zbtest;

namespace {

// Inverts the SplitMix64 output mix, so a test can choose what the next draw
// returns: the state that makes the first draw equal `output`.
uint64_t stateForFirstDraw(uint64_t output) {
    auto inverseOf = [](uint64_t c) {
        uint64_t inv = c;
        for (int i = 0; i < 6; ++i) inv *= 2 - c * inv;
        return inv;
    };
    uint64_t z = output;
    z ^= (z >> 31) ^ (z >> 62);
    z *= inverseOf(0x94d049bb133111ebULL);
    z ^= (z >> 27) ^ (z >> 54);
    z *= inverseOf(0xbf58476d1ce4e5b9ULL);
    z ^= (z >> 30) ^ (z >> 60);
    return z - zb::kGoldenGamma;
}

// A state whose first uniform is exactly `ua` and whose second satisfies `ok`.
uint64_t stateForUniforms(double ua, bool (*ok)(double)) {
    const uint64_t high = static_cast<uint64_t>(ua * 0x1.0p53) << 11;
    for (uint64_t low = 0; low < 2048; ++low) {
        uint64_t s = stateForFirstDraw(high | low);
        const uint64_t start = s;
        if (zb::drawUniform(s) == ua && ok(zb::drawUniform(s))) return start;
    }
    ADD_FAILURE() << "no state found";
    return 0;
}

// `remaining` that ages to `target` in this step for a ruby of scale 1.5, to
// within the spacing of doubles there (1.0 itself cannot be reached).
double remainingAgingTo(double target) {
    double r = target + 0.0015 / 2.25;
    while (r + (-0.0015 / 2.25) > target) r = std::nextafter(r, 0.0);
    while (r + (-0.0015 / 2.25) < target) r = std::nextafter(r, 2.0);
    return r;
}

WorldPtr worldWith(std::vector<zb::Zibber> zibbers) {
    WorldPtr w = makeWorld(5);
    addZibbers(w.get(), std::move(zibbers));
    return w;
}

zb::Obstacle disc(uint32_t id, double x, double y, double radius) {
    return zb::Obstacle{id, 1, x, y, 0.0, 0.0, radius, 0, 0.0, 0.0, 0.0};
}

zb::Obstacle segment(uint32_t id, double ax, double ay, double bx, double by, double spin = 0.0) {
    return zb::Obstacle{id, 0, ax, ay, bx, by, 0.5, 0, 0.0, spin, 0.0};
}

}  // namespace

TEST(Points, RimCullAtExactlyTheLimit) {
    auto w = makeWorld();
    setPoints(w.get(), {{10, 68.5, 0.0, 1}, {11, std::nextafter(68.5, 0.0), 0.0, 1}, {12, 0.0, -70.0, 0}});
    w->arenaPointCount = 2;
    zb::collectPoints(*w);
    ASSERT_EQ(pointsOf(w.get()).size(), 1u);
    EXPECT_EQ(pointsOf(w.get())[0].id, 11u);
    EXPECT_EQ(w->arenaPointCount, 1);
    ASSERT_EQ(w->removals.size(), 2u);
    EXPECT_EQ(w->removals[0].id, 10u);
    EXPECT_EQ(w->removals[0].x, 68.5);
    EXPECT_EQ(w->removals[1].y, -70.0);
    EXPECT_EQ(queuedIds(w->pointIds), (std::vector<uint32_t>{10, 12}));
}

TEST(Points, PickupReachTiesAndOrderOfRemovals) {
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
                       });
    w->arenaPointCount = 2;
    zb::collectPoints(*w);
    ASSERT_EQ(pointsOf(w.get()).size(), 2u);
    EXPECT_EQ(pointsOf(w.get())[0].id, 22u);
    EXPECT_EQ(pointsOf(w.get())[1].id, 24u);
    EXPECT_EQ(w->zibbers[1].score, 1);
    EXPECT_EQ(w->zibbers[2].score, 0);
    EXPECT_EQ(w->zibbers[3].score, 1);
    EXPECT_EQ(w->zibbers[5].score, 0);
    EXPECT_EQ(w->arenaPointCount, 0);
    ASSERT_EQ(w->removals.size(), 3u);
    EXPECT_EQ(w->removals[0].id, 23u);  // rim deletions come first
    EXPECT_EQ(w->removals[0].y, 69.0);
    EXPECT_EQ(w->removals[1].id, 20u);
    EXPECT_EQ(w->removals[1].x, 30.5);  // midpoint between zibber and point
    EXPECT_EQ(w->removals[1].y, 1.5);
    EXPECT_EQ(w->removals[2].id, 21u);
    EXPECT_EQ(queuedIds(w->pointIds), (std::vector<uint32_t>{23, 20, 21}));
}

TEST(Obstacles, CullAtTheRimAndSegmentsJudgedByTheirNearestPoint) {
    auto w = makeWorld();
    w->obstacles = {disc(10, 71.0, 0.0, 2.0), disc(11, 0.0, 71.5, 2.0),
                    segment(12, 80.0, -30.0, 80.0, 30.0),  // nearest point far outside
                    segment(13, 60.0, -70.0, 60.0, 70.0),  // both ends outside, middle inside
                    segment(14, 69.6, 0.0, 69.6, 0.0)};    // zero length: judged by A
    w->obstacles[0].chargeRate = 0.05;
    zb::moveObstacles(*w);
    std::vector<uint32_t> ids;
    for (const auto& o : w->obstacles) ids.push_back(o.id);
    EXPECT_EQ(ids, (std::vector<uint32_t>{10, 13}));
    EXPECT_EQ(queuedIds(w->obstacleIds), (std::vector<uint32_t>{11, 12, 14}));
    EXPECT_EQ(w->obstacles[0].charge, 0.05);
    EXPECT_TRUE(w->removals.empty());
}

TEST(Obstacles, LinearSpinKeepsTheMidpointAndLengthens) {
    auto w = makeWorld();
    w->obstacles = {segment(10, -2.0, 0.0, 2.0, 0.0, 0.01)};
    for (int i = 0; i < 1000; ++i) zb::moveObstacles(*w);
    const auto& s = w->obstacles[0];
    EXPECT_NEAR((s.ax + s.bx) / 2, 0.0, 1e-12);
    EXPECT_NEAR((s.ay + s.by) / 2, 0.0, 1e-12);
    EXPECT_NEAR(std::hypot(s.ax - s.bx, s.ay - s.by) / 4.0, std::pow(1.0 + 4e-4, 500.0), 1e-9);

    auto d = makeWorld();
    d->obstacles = {disc(11, 30.0, 30.0, 2.0)};
    d->obstacles[0].spin = 0.5;
    zb::moveObstacles(*d);
    EXPECT_EQ(d->obstacles[0].ax, 30.0);  // a lone disc neither turns nor moves
    EXPECT_EQ(d->obstacles[0].bx, 0.0);
}

TEST(Obstacles, RepulsionActsAtOnceInOrder) {
    auto w = makeWorld();
    w->obstacles = {disc(10, 0.0, 0.0, 2.0), disc(11, 1.0, 0.0, 2.0), disc(12, 2.0, 0.0, 2.0)};
    auto expected = w->obstacles;
    zb::moveObstacles(*w);
    // Recompute in the order of visits, each move seen by the later ones: the
    // second obstacle sees the first where it was pushed to.
    for (size_t i = 0; i < expected.size(); ++i) {
        for (size_t j = 0; j < expected.size(); ++j) {
            if (i == j) continue;
            const double dx = expected[i].ax - expected[j].ax;
            const double dy = expected[i].ay - expected[j].ay;
            const double d2 = dx * dx + dy * dy;
            if (d2 == 0.0) continue;
            expected[i].ax += 0.2 * dx / d2;
            expected[i].ay += 0.2 * dy / d2;
            expected[i].bx += 0.2 * dx / d2;
        }
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(w->obstacles[i].ax, expected[i].ax, 1e-12) << i;
        EXPECT_NEAR(w->obstacles[i].bx, expected[i].bx, 1e-12) << i;
    }

    auto pair = makeWorld();
    pair->obstacles = {disc(10, 5.0, 5.0, 2.0), disc(11, 5.0, 5.0, 3.0)};
    zb::moveObstacles(*pair);
    EXPECT_EQ(pair->obstacles[0].ax, 5.0);  // coincident A points do not push
    EXPECT_EQ(pair->obstacles[1].ay, 5.0);
}

TEST(Rubies, BiteSharedByTwo) {
    auto w = worldWith({makeZibber(100, -2.0, 0.0), makeZibber(99, 2.0, 0.0)});
    w->rubies = {zb::Ruby{7, 0.0, 0.0, 0.0, 0.0, 1.5, remainingAgingTo(1.0), 1}};
    w->rngState = stateForUniforms(0.5, [](double ub) { return ub > 0.65; });
    const uint64_t before = w->rngState;
    zb::updateRubies(*w);
    EXPECT_EQ(w->rngState, before + 2 * zb::kGoldenGamma);
    ASSERT_EQ(w->rubies.size(), 1u);
    EXPECT_NEAR(w->rubies[0].remaining, 0.5, 1e-15);
    EXPECT_EQ(w->rubies[0].cooldown, 30);
    EXPECT_EQ(w->zibbers[0].score, 56);
    EXPECT_EQ(w->zibbers[1].score, 56);
    EXPECT_NEAR(w->zibbers[0].x, -2.5, 1e-15);  // pushed to touching distance
    EXPECT_EQ(w->zibbers[0].vx, 0.25 * -(1.0 * zb::kRubyKnockbackSpeed));
    EXPECT_EQ(w->zibbers[1].vx, 0.25 * -(-1.0 * zb::kRubyKnockbackSpeed));
    ASSERT_EQ(w->particles.size(), 2u);
    EXPECT_EQ(w->particles[0].kind, 0);
    EXPECT_NEAR(w->particles[0].x, -1.5, 1e-15);
    EXPECT_NEAR(w->particles[0].amount, -0.375, 1e-15);
}

TEST(Rubies, FinalBiteSplitsTheRest) {
    auto w = worldWith({makeZibber(100, -2.0, 0.0), makeZibber(99, 2.0, 0.0)});
    w->rubies = {zb::Ruby{7, 0.0, 0.0, 0.0, 0.0, 1.5, remainingAgingTo(1.0), 0}};
    w->rngState = stateForUniforms(0.9, [](double ub) { return ub <= 0.65; });
    zb::updateRubies(*w);
    EXPECT_TRUE(w->rubies.empty());
    EXPECT_EQ(w->zibbers[0].score, 113);  // 112.5 rounds away from zero
    EXPECT_EQ(w->zibbers[1].score, 113);
    ASSERT_EQ(w->particles.size(), 2u);
    EXPECT_EQ(w->particles[0].kind, 1);
    EXPECT_EQ(w->particles[1].kind, 1);
    EXPECT_TRUE(queuedIds(w->rubyIds).empty());
    EXPECT_TRUE(w->removals.empty());
}

TEST(Rubies, NoBiteWithoutContactOrWhileCoolingDown) {
    auto w = worldWith({makeZibber(100, -2.0, 0.0), makeZibber(99, 20.0, 0.0)});
    w->zibbers[0].alive = 0;  // a dead zibber is neither pushed nor biting
    w->rubies = {zb::Ruby{7, 0.0, 0.0, 0.0, 0.0, 1.5, 1.0, 0}, zb::Ruby{8, 19.0, 0.0, 0.0, 0.0, 1.0, 1.0, 5}};
    const uint64_t before = w->rngState;
    zb::updateRubies(*w);
    EXPECT_EQ(w->rngState, before);
    EXPECT_EQ(w->zibbers[0].x, -2.0);
    EXPECT_NEAR(w->zibbers[1].x, 19.0 + 2.0 - 0.0015, 1e-12);  // pushed out anyway
    EXPECT_EQ(w->rubies[1].cooldown, 4);
    EXPECT_EQ(w->zibbers[1].score, 0);
}

TEST(Rubies, BouncedBackFromBeyondTheRim) {
    auto w = makeWorld();
    w->rubies = {zb::Ruby{7, 70.0, 0.0, 1.0, 0.0, 1.0, 0.2, 30}};
    zb::updateRubies(*w);
    EXPECT_EQ(w->rubies[0].x, 67.0 - 0.2);
    EXPECT_EQ(w->rubies[0].vx, -zb::kWallBounceSpeed);

    w->mapSize = 1.0;
    w->rubies = {zb::Ruby{7, 5.0, 0.0, 0.0, 0.0, 1.5, 0.2, 30}};
    zb::updateRubies(*w);
    EXPECT_NEAR(w->rubies[0].x, 1.0 - 0.3, 1e-15);
    // With r beyond mapSize the ruby lands on the opposite side of the centre.
    w->rubies = {zb::Ruby{7, 5.0, 0.0, 0.0, 0.0, 2.0, 1.0, 30}};
    zb::updateRubies(*w);
    EXPECT_NEAR(w->rubies[0].x, -(w->rubies[0].scale * w->rubies[0].remaining - 1.0), 1e-15);
    EXPECT_EQ(w->rubies[0].vx, -zb::kWallBounceSpeed);
}

TEST(Rubies, ZibberOnTheCentreIsPushedAlongX) {
    auto w = worldWith({makeZibber(100, 3.0, 4.0)});
    w->rubies = {zb::Ruby{7, 3.0, 4.0, 0.0, 0.0, 1.0, 0.2, 30}};
    zb::updateRubies(*w);
    EXPECT_EQ(w->zibbers[0].x, 3.0 - 1.2);
    EXPECT_EQ(w->zibbers[0].y, 4.0);
}
