#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "host/call_log.h"
#include "host/verify_log.h"

namespace zbhost {

int runReplay(int argc, char** argv) {
    static constexpr OptionSpec kSpecs[] = {{"check", false}};
    bool check = false;
    auto take = [&](size_t, const char*, std::string&) { return check = true; };
    std::vector<std::string> positional;
    std::string error;
    if (!walkArguments(argc, argv, kSpecs, take, positional, error)) return badInput(error);
    if (positional.size() != 1) return badInput("replay needs exactly one FILE");

    std::vector<ReplayCall> calls;
    if (!readReplayFile(positional.front(), calls, error)) return badInput(error);

    LogVerification v;
    std::string failure;
    ReplayHooks hooks;
    if (check) {
        hooks.afterStep = [&](const zb_world* world) { return verifyStep(v, world), true; };
        hooks.atCheck = [&](const zb_world* world, const ReplayCall& line) {
            std::string differences = verifyLine(v, world, line);
            if (!differences.empty()) failure = lineLabel(line) + ": " + differences;
            return differences.empty();
        };
        hooks.atEnd = hooks.atCheck;
    }
    WorldHandle world;
    if (!runReplay(calls, world, hooks)) return failed(failure);
    if (check && v.ended)
        std::printf("%d checkpoints match, the end line included: %" PRIu64 " steps\n", v.lines, v.steps);
    else if (check && v.lines > 0)
        std::printf("%d checkpoints match\n", v.lines);
    std::printf("final tick %" PRIu32 " hash %s\n", zb_tick(world.get()), formatHash(hashWorld(world.get())).c_str());
    std::string unproven = check ? unprovenReason(v, zb_tick(world.get())) : "";
    if (!unproven.empty()) return failed(unproven);
    return kExitOk;
}

}  // namespace zbhost
