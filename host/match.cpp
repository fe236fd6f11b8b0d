#include "host/match.h"

#include <string>

namespace zbhost {

std::vector<int32_t> mixedKinds(const std::vector<int32_t>& sizes) {
    std::vector<int32_t> kinds;
    for (int32_t size : sizes)
        for (int32_t k = 0; k < size; ++k) kinds.push_back(k % 4);
    return kinds;
}

std::vector<BotPolicy> mixedPolicies(size_t teamCount) {
    std::vector<BotPolicy> policies;
    for (size_t t = 0; t < teamCount; ++t) policies.push_back(kAllPolicies[t % 4]);
    return policies;
}

const std::vector<Scenario>& benchScenarios() {
    static const std::vector<Scenario> kScenarios = {
        {"duel", {1, 1}},
        {"standard", {4, 4, 4, 4}},
        {"crowd", {8, 8, 8, 8, 8, 8, 8, 8}},
        {"max", {32, 32, 32, 32, 32, 32, 32, 27}},
    };
    return kScenarios;
}

MatchSetup scenarioSetup(const Scenario& scenario) {
    MatchSetup setup;
    setup.sizes = scenario.sizes;
    setup.kinds = mixedKinds(setup.sizes);
    setup.teamPolicies = mixedPolicies(setup.sizes.size());
    return setup;
}

namespace {

void updateStandings(const Snapshot& s, const BotState& bots, std::vector<TeamStanding>& standings) {
    for (TeamStanding& team : standings) team.survivors = 0;
    for (int i = 0; i < s.numZibbers && i < static_cast<int>(bots.teamOf.size()); ++i)
        if (zibberAt(s, i)[ZB_ZIBBER_ALIVE] != 0.0)
            ++standings[static_cast<size_t>(bots.teamOf[static_cast<size_t>(i)])].survivors;
    for (size_t t = 0; t < standings.size(); ++t) {
        TeamStanding& team = standings[t];
        if (t < s.teamScores.size()) team.score = s.teamScores[t];
        if (team.members > 0 && team.survivors == 0 && team.lastDeathTick < 0) team.lastDeathTick = s.tick;
    }
}

std::string describeSetup(const MatchSetup& setup) {
    std::string text = "zibber match, bots";
    for (BotPolicy policy : setup.teamPolicies) {
        text += ' ';
        text += policyName(policy);
    }
    return text;
}

}  // namespace

MatchResult playMatch(const MatchSetup& setup, const MatchHooks& hooks) {
    WorldHandle world(zb_create(setup.seed));
    const int32_t* kinds = setup.kindsNull ? nullptr : setup.kinds.data();
    zb_setup(world.get(), setup.sizes.data(), static_cast<int32_t>(setup.sizes.size()), kinds);
    if (hooks.record) {
        writeComment(*hooks.record, describeSetup(setup));
        writeCreate(*hooks.record, setup.seed);
        writeSetup(*hooks.record, setup.sizes, kinds, setup.kinds.size());
    }

    MatchResult result;
    result.standings.resize(setup.sizes.size());
    for (size_t t = 0; t < setup.sizes.size(); ++t)
        result.standings[t].members = setup.sizes[t] > 0 ? setup.sizes[t] : 0;
    BotState bots = makeBotState(setup.sizes, setup.teamPolicies, setup.seed);

    Snapshot before;
    Snapshot after;
    readSnapshot(world.get(), before);
    std::vector<ActionCall> actions;
    while (!before.isOver && before.tick < setup.maxSteps) {
        actions.clear();
        decideActions(before, bots, actions);
        for (const ActionCall& a : actions) {
            zb_set_action(world.get(), a.index, a.kind, a.value);
            if (hooks.record) writeAction(*hooks.record, a.index, a.kind, a.value);
        }
        if (hooks.plan) hooks.plan->push_back(actions);
        zb_step(world.get());
        readSnapshot(world.get(), after);
        countEvents(before, after, result.events);
        updateStandings(after, bots, result.standings);
        if (hooks.record) {
            bool checkpoint = after.tick % kCheckInterval == 0;
            StateHash hash = hashSnapshot(after, checkpoint);
            writeStep(*hooks.record, hash.total);
            if (checkpoint) writeCheck(*hooks.record, after.tick, hash);
        }
        if (hooks.progress) hooks.progress(after);
        std::swap(before, after);
    }

    StateHash hash = hashSnapshot(before);
    if (hooks.record && before.tick % kCheckInterval != 0) writeCheck(*hooks.record, before.tick, hash);
    if (hooks.record) writeEnd(*hooks.record, hash.total);
    result.ticks = before.tick;
    result.over = before.isOver;
    result.hash = hash.total;
    return result;
}

}  // namespace zbhost
