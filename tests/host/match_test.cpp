#include <gtest/gtest.h>

#include <cmath>

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

// The bots must make every kind of event happen and every match must end by
// itself. Wall and hazard hits are told apart only by the swell their particle
// carries, so they are checked against where the particles lie: a wall hit on
// the rim of the arena the step started in, a hazard hit anywhere else.
TEST(Match, defaultMatchesAreLivelyEndAndCountWhatTheParticlesShow) {
    for (uint64_t seed : {kDefaultSeed, uint64_t{1}, uint64_t{2}}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        int64_t onRim = 0, elsewhere = 0;
        double rim = ZB_START_MAP_SIZE;
        MatchHooks hooks;
        hooks.progress = [&](const Snapshot& s) {
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

}  // namespace
