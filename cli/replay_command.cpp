#include <cinttypes>
#include <cstdio>
#include <getopt.h>
#include <string>
#include <vector>

#include "commands.h"
#include "replay.h"

namespace zbhost {

namespace {

// Names the parts whose hashes differ; empty when the line gave none.
std::string differingParts(const ReplayCall &check, const StateHash &actual) {
    std::string names;
    for (int part = 0; part < kPartCount; ++part)
        if ((check.checkPartMask & (1u << part)) && check.checkParts[part] != actual.parts[part])
            names += (names.empty() ? "" : ", ") + std::string(partName(part));
    return names;
}

}  // namespace

int runReplay(int argc, char **argv) {
    static const option kLongOptions[] = {{"check", no_argument, nullptr, 'c'},
                                          {nullptr, 0, nullptr, 0}};
    bool check = false;
    opterr = 0;
    optind = 1;
    int c = 0;
    while ((c = getopt_long(argc, argv, ":", kLongOptions, nullptr)) != -1) {
        if (c == 'c')
            check = true;
        else
            return badInput("unknown option '" + std::string(argv[optind - 1]) + "'");
    }
    if (optind + 1 != argc) return badInput("replay needs exactly one FILE");

    std::vector<ReplayCall> calls;
    std::string error;
    if (!readReplayFile(argv[optind], calls, error)) return badInput(error);

    int checked = 0;
    std::string mismatch;
    ReplayHooks hooks;
    if (check) {
        hooks.atCheck = [&](const zb_world *world, const ReplayCall &line) {
            Snapshot snapshot;
            readSnapshot(world, snapshot);
            StateHash actual = hashSnapshot(snapshot);
            ++checked;
            std::string parts = differingParts(line, actual);
            if (snapshot.tick == line.checkTick && actual.total == line.checkHash && parts.empty())
                return true;
            mismatch = "check failed at tick " + std::to_string(line.checkTick) + " (line " +
                       std::to_string(line.line) + "): expected " + formatHash(line.checkHash) +
                       ", got tick " + std::to_string(snapshot.tick) + " hash " +
                       formatHash(actual.total);
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
    std::printf("final tick %" PRIu32 " hash %s\n", zb_tick(world.get()),
                formatHash(hashWorld(world.get())).c_str());
    return kExitOk;
}

}  // namespace zbhost
