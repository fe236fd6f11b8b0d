// Indices of the living zibbers, ascending, gathered into the World's scratch
// so that the phases walk only those: most of a large match's zibbers are dead
// long before it ends. Alive flags change only in a zibber's own turn of the
// zibber loop, so a phase gathers them once and visits them in index order.
#pragma once

#include <vector>

#include "core/world.h"

namespace zb {

inline const std::vector<uint32_t>& gatherLiving(World& world) {
    std::vector<uint32_t>& living = world.scratch.living;
    living.clear();
    for (size_t i = 0; i < world.zibbers.size(); ++i) {
        if (world.zibbers[i].alive == 1) living.push_back(static_cast<uint32_t>(i));
    }
    return living;
}

}  // namespace zb
