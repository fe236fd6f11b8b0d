// Squared-distance tests of every point against every living zibber are the
// hottest loops of a crowded step. A box a hair wider than the reach rejects
// far zibbers cheaply without changing any outcome: beyond the box the exact
// test cannot pass (the margin is far above rounding, and the additive floor
// keeps squares of tiny offsets from underflowing to zero).
#pragma once

#include <cmath>
#include <vector>

#include "core/world.h"

namespace zb {

// Living zibbers in index order, with limit = (radius * radius) * factor.
inline void collectReaches(const World& world, double factor, std::vector<ZibberReach>& out) {
    out.clear();
    for (size_t i = 0; i < world.zibbers.size(); ++i) {
        const Zibber& z = world.zibbers[i];
        if (z.alive != 1) continue;
        const double limit = (z.radius * z.radius) * factor;
        out.push_back(ZibberReach{static_cast<uint32_t>(i), z.x, z.y, limit, std::sqrt(limit) * (1.0 + 1e-9) + 1e-150});
    }
}

inline bool outsideBox(const ZibberReach& r, double dx, double dy) {
    return std::fabs(dx) > r.box || std::fabs(dy) > r.box;
}

}  // namespace zb
