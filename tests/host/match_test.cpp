// Whole matches between the built-in bots, and the events counted from them.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "host/events.h"
#include "host/match.h"

namespace {

using namespace zbhost;

MatchSetup defaultSetup(uint64_t seed) {
    MatchSetup setup;
    setup.seed = seed;
    setup.kinds = mixedKinds(setup.sizes);
    setup.teamPolicies = mixedPolicies(setup.sizes.size());
    return setup;
}

// What must hold after every step of any match: every export finite, every
// heading within [0, 2pi), ids unique within each export (among the living
// for zibbers).
void expectSound(const Snapshot& s) {
    for (const auto* values :
         {&s.zibbers, &s.points, &s.rubys, &s.obstacles, &s.projectiles, &s.particles, &s.removals})
        for (double v : *values) ASSERT_TRUE(std::isfinite(v)) << "tick " << s.tick;
    auto expectUniqueIds = [&](const std::vector<double>& rows, int count, int width, int aliveColumn) {
        std::set<double> ids;
        for (int i = 0; i < count; ++i) {
            const double* row = rows.data() + static_cast<ptrdiff_t>(i) * width;
            const bool counted = aliveColumn < 0 || row[aliveColumn] != 0.0;
            EXPECT_TRUE(!counted || ids.insert(row[0]).second) << "id " << row[0] << " twice at tick " << s.tick;
        }
    };
    expectUniqueIds(s.zibbers, s.numZibbers, ZB_ZIBBER_WIDTH, ZB_ZIBBER_ALIVE);
    expectUniqueIds(s.points, s.numPoints, ZB_POINT_WIDTH, -1);
    expectUniqueIds(s.rubys, s.numRubys, ZB_RUBY_WIDTH, -1);
    expectUniqueIds(s.obstacles, s.numObstacles, ZB_OBSTACLE_WIDTH, -1);
    expectUniqueIds(s.projectiles, s.numProjectiles, ZB_PROJECTILE_WIDTH, -1);
    for (int i = 0; i < s.numZibbers; ++i) {
        const double heading = zibberAt(s, i)[ZB_ZIBBER_HEADING];
        EXPECT_TRUE(heading >= 0.0 && heading < 2 * M_PI) << heading << " at tick " << s.tick;
    }
}

// The bots must make every kind of event happen and every match must end by
// itself. Wall and hazard hits are told apart only by the swell their particle
// carries, so they are checked against where the particles lie: a wall hit on
// the rim of the arena the step started in, a hazard hit anywhere else.
TEST(Match, defaultMatchesStaySoundAreLivelyEndAndCountWhatTheParticlesShow) {
    for (uint64_t seed : {kDefaultSeed, uint64_t{1}, uint64_t{2}}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        int64_t onRim = 0, elsewhere = 0;
        double rim = ZB_START_MAP_SIZE;
        MatchHooks hooks;
        hooks.progress = [&](const Snapshot& s) {
            if (!testing::Test::HasFailure()) expectSound(s);
            for (int k = 0; k < s.numParticles; ++k) {
                const double* p = s.particles.data() + static_cast<ptrdiff_t>(k) * ZB_PARTICLE_WIDTH;
                if (static_cast<int>(p[ZB_PARTICLE_KIND]) != ZB_PARTICLE_SIZE_CHANGE ||
                    p[ZB_PARTICLE_ZIBBER_ID] != -1.0 || p[ZB_PARTICLE_CONTACT_ID_A] != -1.0)
                    continue;
                ++(std::fabs(std::hypot(p[ZB_PARTICLE_X], p[ZB_PARTICLE_Y]) - rim) < 1e-9 ? onRim : elsewhere);
            }
            rim = s.mapSize;
        };
        MatchResult result = playMatch(defaultSetup(seed), hooks);
        EXPECT_TRUE(result.over);
        EXPECT_LT(result.ticks, kDefaultMaxSteps);
        const EventTotals& e = result.events;
        EXPECT_EQ(e.bursts, 16);
        EXPECT_GT(e.scoringRams, 0);
        EXPECT_GT(e.rubyBites, 0);
        EXPECT_GT(e.launches, 0);
        EXPECT_GT(e.stuns, 0);
        EXPECT_GT(e.pointsCollected, 0);
        EXPECT_GT(e.wallHits, 0);
        EXPECT_GT(e.hazardHits, 0);
        EXPECT_EQ(e.wallHits, onRim);
        EXPECT_EQ(e.hazardHits, elsewhere);
        for (const TeamStanding& team : result.standings) {
            EXPECT_EQ(team.survivors, 0);
            EXPECT_GE(team.lastDeathTick, 0);
            EXPECT_LE(team.lastDeathTick, result.ticks);
        }
    }
}

TEST(Match, maxStepsStopsAMatchEarly) {
    MatchSetup setup = defaultSetup(kDefaultSeed);
    setup.maxSteps = 50;
    MatchResult result = playMatch(setup, {});
    EXPECT_FALSE(result.over);
    EXPECT_EQ(result.ticks, 50u);
    int survivors = 0;
    for (const TeamStanding& team : result.standings) survivors += team.survivors;
    EXPECT_EQ(survivors, 16);
}

// Each event is told from particles and field changes; none may be counted
// twice or mistaken for another.
void addZibber(Snapshot& s, double alive, int kind, int chargeTicks, int stunTicks) {
    std::vector<double> z(ZB_ZIBBER_WIDTH, 0.0);
    z[ZB_ZIBBER_ALIVE] = alive;
    z[ZB_ZIBBER_KIND] = kind;
    z[ZB_ZIBBER_CHARGE_TICKS] = chargeTicks;
    z[ZB_ZIBBER_STUN_TICKS] = stunTicks;
    s.zibbers.insert(s.zibbers.end(), z.begin(), z.end());
    ++s.numZibbers;
}

void addParticle(Snapshot& s, int kind, double amount, double zibberId, double contactA = -1.0) {
    s.particles.insert(s.particles.end(), {double(kind), 0.0, 0.0, amount, zibberId, contactA, contactA});
    ++s.numParticles;
}

TEST(Events, particlesTellBitesWallsHazardsAndRams) {
    Snapshot before, after;
    addParticle(after, ZB_PARTICLE_BITE, -0.4, -1);
    addParticle(after, ZB_PARTICLE_FINAL_BITE, -0.7, -1);
    addParticle(after, ZB_PARTICLE_SIZE_CHANGE, 0.30000000000000004, -1);  // wall
    addParticle(after, ZB_PARTICLE_SIZE_CHANGE, 0.2, -1);                  // hazard obstacle
    // A bounce is a contact particle and one per zibber: the rammer shrinks
    // and scores; back to back nobody does; head-on both swell.
    for (double rammer : {-0.5, 0.0, 0.5}) {
        addParticle(after, ZB_PARTICLE_SIZE_CHANGE, 1.0, -1, 251);
        addParticle(after, ZB_PARTICLE_SIZE_CHANGE, rammer, 251);
        addParticle(after, ZB_PARTICLE_SIZE_CHANGE, rammer == -0.5 ? 1.0 : rammer, 250);
    }
    EventTotals totals;
    countEvents(before, after, totals);
    EXPECT_EQ(totals.rubyBites, 2);
    EXPECT_EQ(totals.wallHits, 1);
    EXPECT_EQ(totals.hazardHits, 1);
    EXPECT_EQ(totals.contacts, 3);
    EXPECT_EQ(totals.scoringRams, 1);
}

TEST(Events, zibberFieldsTellBurstsShotsAndStunsRemovalsTellPickups) {
    Snapshot before, after;
    before.mapSize = 60.0;
    addZibber(before, 1, ZB_KIND_DASHER, -1, 0);  // bursts
    addZibber(after, 0, ZB_KIND_DASHER, -1, 0);
    addZibber(before, 1, ZB_KIND_SHOOTER, ZB_SHOT_CHARGE, 0);  // fires
    addZibber(after, 1, ZB_KIND_SHOOTER, -1, 0);
    addZibber(before, 1, ZB_KIND_SHOOTER, ZB_SHOT_CHARGE - 1, 0);  // too short a charge
    addZibber(after, 1, ZB_KIND_SHOOTER, -1, 0);
    addZibber(before, 1, ZB_KIND_DASHER, 60, 0);  // a dash, not a shot, and just stunned
    addZibber(after, 1, ZB_KIND_DASHER, -1, ZB_STUN_TICKS);
    addZibber(before, 0, ZB_KIND_SHOOTER, 80, ZB_STUN_TICKS);  // long dead: counts for nothing
    addZibber(after, 0, ZB_KIND_SHOOTER, -1, ZB_STUN_TICKS);
    // Beyond mapSize + 1.5 a removal is a cull; a pickup may lie close to the rim.
    after.removals = {4.0, 61.6, 0.0, 4.0, 0.0, -59.5, 4.0, 3.0, 4.0};
    after.numRemovals = 3;
    EventTotals totals;
    countEvents(before, after, totals);
    EXPECT_EQ(totals.bursts, 1);
    EXPECT_EQ(totals.launches, 1);
    EXPECT_EQ(totals.stuns, 1);
    EXPECT_EQ(totals.pointsCollected, 2);
}

}  // namespace
