// A whole match between built-in bots, optionally recorded as a call log.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/bots.h"
#include "host/call_log.h"
#include "host/events.h"

namespace zbhost {

constexpr uint64_t kDefaultSeed = 0x2a2a2a2a2a2a2a2aull;
constexpr uint32_t kDefaultMaxSteps = 20000;
constexpr uint32_t kCheckInterval = 100;

struct MatchSetup {
    uint64_t seed = kDefaultSeed;
    std::vector<int32_t> sizes{4, 4, 4, 4};
    std::vector<int32_t> kinds;  // one per zibber; ignored when kindsNull
    bool kindsNull = false;
    std::vector<BotPolicy> teamPolicies;  // one per team
    uint32_t maxSteps = kDefaultMaxSteps;
};

// Kinds 0..3 in turn within each team, so every team has every kind.
std::vector<int32_t> mixedKinds(const std::vector<int32_t>& sizes);
// The four policies in turn, one per team.
std::vector<BotPolicy> mixedPolicies(size_t teamCount);

struct TeamStanding {
    int32_t score = 0;
    int32_t members = 0;
    int32_t survivors = 0;
    int64_t lastDeathTick = -1;  // -1 while a member lives or if it had none
};

struct MatchResult {
    uint32_t ticks = 0;
    bool over = false;
    uint64_t hash = 0;
    EventTotals events;
    std::vector<TeamStanding> standings;
};

struct MatchHooks {
    ReplayWriter* record = nullptr;
    // Per step, the actions sent before it (for benchmarks that replay them).
    std::vector<std::vector<ActionCall>>* plan = nullptr;
    std::function<void(const Snapshot&)> progress;
};

MatchResult playMatch(const MatchSetup& setup, const MatchHooks& hooks);

// The named benchmark line-ups: duel, standard, crowd and max (the
// ZB_MAX_ZIBBERS the id pool allows).
struct Scenario {
    const char* name;
    std::vector<int32_t> sizes;
};
const std::vector<Scenario>& benchScenarios();
// The default match setup with the scenario's teams.
MatchSetup scenarioSetup(const Scenario& scenario);

}  // namespace zbhost
