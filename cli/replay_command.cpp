#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "host/call_log.h"

namespace zbhost {

namespace {

// What --check has seen so far, and the first thing that failed.
struct Verification {
    uint64_t steps = 0;
    uint64_t chain = kFnvOffsetBasis;
    int checked = 0;
    int chained = 0;            // of those, lines that carried the running hash
    uint32_t lastGoodTick = 0;  // of the last line whose running hash agreed
    bool ended = false;
    std::string failure;
};

void addDifference(std::string& text, const std::string& what, const std::string& expected, const std::string& actual) {
    text += text.empty() ? "differs in " : "; ";
    text += what + ": expected " + expected + ", got " + actual;
}

// Every part whose hash the line gives and the state does not match, with
// both values; the total only when no part explains it.
std::string describeDifferences(const ReplayCall& line, uint32_t tick, const StateHash& actual) {
    std::string text;
    if (line.kind == CallKind::check && tick != line.checkTick)
        addDifference(text, "tick", std::to_string(line.checkTick), std::to_string(tick));
    for (int part = 0; part < kPartCount; ++part)
        if ((line.checkPartMask & (1u << part)) && line.checkParts[part] != actual.parts[part])
            addDifference(text, std::string(partName(part)), formatHash(line.checkParts[part]),
                          formatHash(actual.parts[part]));
    if (text.empty() && line.checkHash != actual.total)
        addDifference(text, "the state hash", formatHash(line.checkHash), formatHash(actual.total));
    return text;
}

bool verifyLine(const zb_world* world, const ReplayCall& line, Verification& v) {
    Snapshot snapshot;
    readSnapshot(world, snapshot);
    StateHash actual = hashSnapshot(snapshot);
    std::string where = line.kind == CallKind::end ? "end line (line " + std::to_string(line.line) + ")"
                                                   : "check failed at tick " + std::to_string(line.checkTick) +
                                                         " (line " + std::to_string(line.line) + ")";
    std::string differences = describeDifferences(line, snapshot.tick, actual);
    if (line.kind == CallKind::end && line.endSteps != v.steps)
        addDifference(differences, "the step count", std::to_string(line.endSteps), std::to_string(v.steps));
    if (differences.empty() && line.hasChain && line.chain != v.chain) {
        std::string since = v.chained > 0 ? "tick " + std::to_string(v.lastGoodTick) : "the start";
        differences = "the state agrees but a step since " + since + " differed (running hash: expected " +
                      formatHash(line.chain) + ", got " + formatHash(v.chain) + ")";
    }
    if (!differences.empty()) {
        v.failure = where + ": " + differences;
        return false;
    }
    // Without the running hash the steps in between went unverified.
    if (line.kind == CallKind::end && !line.hasChain) {
        v.failure = where + ": no running hash, so the steps between checkpoints cannot be verified";
        return false;
    }
    ++v.checked;
    if (line.hasChain) {
        ++v.chained;
        v.lastGoodTick = snapshot.tick;
    }
    v.ended = line.kind == CallKind::end;
    return true;
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

    Verification v;
    ReplayHooks hooks;
    if (check) {
        hooks.afterStep = [&](const zb_world* world) {
            ++v.steps;
            v.chain = chainStep(v.chain, hashWorld(world));
            return true;
        };
        hooks.atCheck = [&](const zb_world* world, const ReplayCall& line) { return verifyLine(world, line, v); };
        hooks.atEnd = hooks.atCheck;
    }
    WorldHandle world;
    if (!runReplay(calls, world, hooks)) return failed(v.failure);
    if (check && v.ended)
        std::printf("%d checkpoints match, the end line included: %" PRIu64 " steps\n", v.checked, v.steps);
    else if (check && v.checked > 0)
        std::printf("%d checkpoints match\n", v.checked);
    std::printf("final tick %" PRIu32 " hash %s\n", zb_tick(world.get()), formatHash(hashWorld(world.get())).c_str());

    // A log cut at a line boundary still parses; only its end line proves
    // that nothing is missing.
    if (check && v.checked == 0) return failed("nothing to verify: the log has no check or end line");
    std::string unchained = v.chained == 0 ? "; its checks carry no running hash (a log of zibber 0.1?)" : "";
    if (check && !v.ended)
        return failed("no end line: the log may be cut short after tick " + std::to_string(zb_tick(world.get())) +
                      unchained);
    return kExitOk;
}

}  // namespace zbhost
