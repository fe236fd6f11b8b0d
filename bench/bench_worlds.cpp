#include "bench_worlds.h"

#include <stdexcept>
#include <string>

#include "host/call_log.h"
#include "host/match.h"

namespace zbbench {

using namespace zbhost;

PreparedWorld prepareWorld(std::string_view scenario, uint32_t warmup, uint32_t planSteps) {
    const Scenario* chosen = nullptr;
    for (const Scenario& s : benchScenarios())
        if (scenario == s.name) chosen = &s;
    if (chosen == nullptr) throw std::invalid_argument("unknown scenario " + std::string(scenario));
    MatchSetup setup = scenarioSetup(*chosen);

    WorldHandle world(zb_create(setup.seed));
    zb_setup(world.get(), setup.sizes.data(), static_cast<int32_t>(setup.sizes.size()), setup.kinds.data());
    BotState bots = makeBotState(setup.sizes, setup.teamPolicies, setup.seed);
    PreparedWorld prepared;
    Snapshot snapshot;
    std::vector<ActionCall> actions;
    for (uint32_t step = 0;; ++step) {
        if (step == warmup) prepared.world = *world;
        if (step == warmup + planSteps) break;
        readSnapshot(world.get(), snapshot);
        if (snapshot.isOver) break;
        actions.clear();
        decideActions(snapshot, bots, actions);
        if (step >= warmup) prepared.plan.push_back(actions);
        for (const ActionCall& a : actions) zb_set_action(world.get(), a.index, a.kind, a.value);
        zb_step(world.get());
    }
    return prepared;
}

}  // namespace zbbench
