// Owning handle of a World, for C++ hosts: zb_destroy runs when it goes.
#pragma once

#include <zibber.h>

#include <memory>

namespace zbhost {

struct WorldDeleter {
    void operator()(zb_world* world) const { zb_destroy(world); }
};
using WorldHandle = std::unique_ptr<zb_world, WorldDeleter>;

}  // namespace zbhost
