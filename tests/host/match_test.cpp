#include <gtest/gtest.h>

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

TEST(Match, recordedDefaultMatchReplaysToTheSameHashAndPassesItsChecks) {
    ReplayWriter writer;
    MatchHooks hooks;
    hooks.record = &writer;
    MatchResult played = playMatch(defaultSetup(kDefaultSeed), hooks);

    std::vector<ReplayCall> calls;
    std::string error;
    ASSERT_TRUE(parseReplay(finishReplay(writer), calls, error)) << error;
    int checks = 0;
    ReplayHooks replayHooks;
    replayHooks.atCheck = [&](const zb_world* world, const ReplayCall& check) {
        Snapshot snapshot;
        readSnapshot(world, snapshot);
        StateHash hash = hashSnapshot(snapshot);
        EXPECT_EQ(snapshot.tick, check.checkTick);
        EXPECT_EQ(hash.total, check.checkHash) << "at tick " << check.checkTick;
        EXPECT_EQ(hash.parts, check.checkParts);
        ++checks;
        return true;
    };
    WorldHandle world;
    ASSERT_TRUE(runReplay(calls, world, replayHooks));
    EXPECT_EQ(zb_tick(world.get()), played.ticks);
    EXPECT_EQ(hashWorld(world.get()), played.hash);
    // One checkpoint every 100 steps and one at the end.
    EXPECT_EQ(checks, static_cast<int>((played.ticks + 99) / 100));
}

// The bots must make things happen, and every match must end by itself.
TEST(Match, defaultMatchesAreLivelyAndEnd) {
    for (uint64_t seed : {kDefaultSeed, uint64_t{1}, uint64_t{2}}) {
        MatchResult result = playMatch(defaultSetup(seed), {});
        SCOPED_TRACE("seed " + std::to_string(seed));
        EXPECT_TRUE(result.over);
        EXPECT_LT(result.ticks, kDefaultMaxSteps);
        const EventTotals& e = result.events;
        EXPECT_EQ(e.bursts, 16);
        EXPECT_GT(e.scoringRams, 0);
        EXPECT_GT(e.rubyBites, 0);
        EXPECT_GT(e.launches, 0);
        EXPECT_GT(e.stuns, 0);
        EXPECT_GT(e.pointsCollected, 0);
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
