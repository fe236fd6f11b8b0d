// Verifying a call log as it replays: every check line and the end line
// against the replayed state, and the running hash over every step. The
// `zibber replay --check` command and the page report the same findings.
#pragma once

#include <cstdint>
#include <string>

#include "host/call_log.h"

namespace zbhost {

struct LogVerification {
    uint64_t steps = 0;
    uint64_t chain = kFnvOffsetBasis;
    int lines = 0;              // check and end lines verified, agreeing or not
    int chained = 0;            // lines that agreed, running hash included
    uint32_t lastGoodTick = 0;  // of the last of those
    bool ended = false;         // the end line was reached
};

// After every zb_step of the log.
void verifyStep(LogVerification& v, const zb_world* world);

// A check or end line against the state: "" when it agrees, otherwise every
// part that differs with both values (tick, parts or total, step count,
// running hash).
std::string verifyLine(LogVerification& v, const zb_world* world, const ReplayCall& line);

// Where a line's difference is reported: "check failed at tick T (line N)"
// or "end line (line N)".
std::string lineLabel(const ReplayCall& line);

// Why a log whose lines all agreed still proves no whole match (no line to
// verify, or no end line); "" when it does. `finalTick` is the replayed one.
std::string unprovenReason(const LogVerification& v, uint32_t finalTick);

}  // namespace zbhost
