#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "host/call_log.h"

namespace zbhost {

namespace {

// Names the parts whose hashes differ; empty when the line gave none.
std::string differingParts(const ReplayCall& check, const StateHash& actual) {
    std::string names;
    for (int part = 0; part < kPartCount; ++part)
        if ((check.checkPartMask & (1u << part)) && check.checkParts[part] != actual.parts[part])
            names += (names.empty() ? "" : ", ") + std::string(partName(part));
    return names;
}

}  // namespace

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

    int checked = 0;
    std::string mismatch;
    ReplayHooks hooks;
    if (check) {
        hooks.atCheck = [&](const zb_world* world, const ReplayCall& line) {
            Snapshot snapshot;
            readSnapshot(world, snapshot);
            StateHash actual = hashSnapshot(snapshot);
            ++checked;
            std::string parts = differingParts(line, actual);
            if (snapshot.tick == line.checkTick && actual.total == line.checkHash && parts.empty()) return true;
            mismatch = "check failed at tick " + std::to_string(line.checkTick) + " (line " +
                       std::to_string(line.line) + "): expected " + formatHash(line.checkHash) + ", got tick " +
                       std::to_string(snapshot.tick) + " hash " + formatHash(actual.total);
            if (!parts.empty()) mismatch += "; differs in " + parts;
            return false;
        };
    }
    WorldHandle world;
    bool completed = runReplay(calls, world, hooks);
    if (!completed) {
        std::fprintf(stderr, "zibber: %s\n", mismatch.c_str());
        return kExitMismatch;
    }
    if (check && checked == 0) std::printf("no check lines to verify\n");
    if (check && checked > 0) std::printf("%d checkpoints match\n", checked);
    std::printf("final tick %" PRIu32 " hash %s\n", zb_tick(world.get()), formatHash(hashWorld(world.get())).c_str());
    return kExitOk;
}

}  // namespace zbhost
