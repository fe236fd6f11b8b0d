// Built-in players. They see only the exported arrays (a Snapshot) and answer
// with zb_set_action calls, like any host would.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "host/random.h"
#include "host/snapshot.h"

namespace zbhost {

enum class BotPolicy { collector, hunter, charger, random };

constexpr BotPolicy kAllPolicies[] = {BotPolicy::collector, BotPolicy::hunter, BotPolicy::charger, BotPolicy::random};

std::string_view policyName(BotPolicy policy);
std::optional<BotPolicy> policyFromName(std::string_view name);

struct ActionCall {
    int32_t index;
    int32_t kind;  // ZB_ACTION_*
    double value;  // target heading
};

// What a bot remembers about its own zibber between steps: the action last
// sent, so that unchanged actions are not sent again.
struct ZibberMemory {
    int32_t sentKind = -1;
    double sentHeading = 0.0;
    int32_t targetIndex = -1;  // rival being hunted or shot at
    uint32_t wanderUntil = 0;  // random bot: keep the current action until then
};

struct BotState {
    std::vector<int32_t> teamOf;      // per zibber index
    std::vector<BotPolicy> policyOf;  // per zibber index
    std::vector<ZibberMemory> memory;
    SplitMix64 rng;
};

// Zibbers are stored team by team in the order of `sizes`.
BotState makeBotState(const std::vector<int32_t>& sizes, const std::vector<BotPolicy>& teamPolicies, uint64_t seed);

// Appends to `out` the actions to send before the next step.
void decideActions(const Snapshot& snapshot, BotState& state, std::vector<ActionCall>& out);

}  // namespace zbhost
