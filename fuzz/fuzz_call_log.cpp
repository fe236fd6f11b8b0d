// Arbitrary bytes as a call log: the reader either accepts them or says why
// not, and an accepted log replays without harm. A log may rightly ask for
// billions of steps, so the replay stops when it has done kWorkBudget work:
// a step costs one unit and one more per zibber.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host/call_log.h"

namespace {

constexpr int64_t kWorkBudget = 500;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<zbhost::ReplayCall> calls;
    std::string error;
    if (!zbhost::parseReplay(text, calls, error)) {
        if (error.empty()) {
            std::fprintf(stderr, "a rejected call log came without a reason\n");
            std::abort();
        }
        return 0;
    }
    int64_t workLeft = kWorkBudget;
    zbhost::ReplayHooks hooks;
    hooks.afterStep = [&workLeft](const zb_world* world) {
        workLeft -= 1 + zb_num_zibbers(world);
        return workLeft > 0;
    };
    zbhost::WorldHandle world;
    zbhost::runReplay(calls, world, hooks);
    return 0;
}
