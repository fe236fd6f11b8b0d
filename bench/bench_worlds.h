// Worlds in the middle of a bot match, to time steps and phases on
// realistic states rather than on a freshly set-up arena.
#pragma once

#include <string_view>
#include <vector>

#include "core/world.h"
#include "host/bots.h"

namespace zbbench {

struct PreparedWorld {
    zb_world world;  // the state after the warm-up steps
    // The actions the bots sent before each of the following steps.
    std::vector<std::vector<zbhost::ActionCall>> plan;
};

// Plays `warmup` steps of the named scenario with the bots, keeps a copy of
// the World, then records the bots' actions for up to `planSteps` more.
PreparedWorld prepareWorld(std::string_view scenario, uint32_t warmup, uint32_t planSteps);

}  // namespace zbbench
