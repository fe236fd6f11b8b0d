#include "host/verify_log.h"

namespace zbhost {

namespace {

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

}  // namespace

void verifyStep(LogVerification& v, const zb_world* world) {
    ++v.steps;
    v.chain = chainStep(v.chain, hashWorld(world));
}

std::string verifyLine(LogVerification& v, const zb_world* world, const ReplayCall& line) {
    Snapshot snapshot;
    readSnapshot(world, snapshot);
    StateHash actual = hashSnapshot(snapshot);
    ++v.lines;
    if (line.kind == CallKind::end) v.ended = true;
    std::string differences = describeDifferences(line, snapshot.tick, actual);
    if (line.kind == CallKind::end && line.endSteps != v.steps)
        addDifference(differences, "the step count", std::to_string(line.endSteps), std::to_string(v.steps));
    if (differences.empty() && line.hasChain && line.chain != v.chain) {
        std::string since = v.chained > 0 ? "tick " + std::to_string(v.lastGoodTick) : "the start";
        differences = "the state agrees but a step since " + since + " differed (running hash: expected " +
                      formatHash(line.chain) + ", got " + formatHash(v.chain) + ")";
    }
    if (!differences.empty()) return differences;
    // Without the running hash the steps in between went unverified.
    if (line.kind == CallKind::end && !line.hasChain)
        return "no running hash, so the steps between checkpoints cannot be verified";
    if (line.hasChain) {
        ++v.chained;
        v.lastGoodTick = snapshot.tick;
    }
    return "";
}

std::string lineLabel(const ReplayCall& line) {
    if (line.kind == CallKind::end) return "end line (line " + std::to_string(line.line) + ")";
    return "check failed at tick " + std::to_string(line.checkTick) + " (line " + std::to_string(line.line) + ")";
}

// A log cut at a line boundary still parses; only its end line proves that
// nothing is missing.
std::string unprovenReason(const LogVerification& v, uint32_t finalTick) {
    if (v.lines == 0) return "nothing to verify: the log has no check or end line";
    if (v.ended) return "";
    std::string unchained = v.chained == 0 ? "; its checks carry no running hash (a log of zibber 0.1?)" : "";
    return "no end line: the log may be cut short after tick " + std::to_string(finalTick) + unchained;
}

}  // namespace zbhost
