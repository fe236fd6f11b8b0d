// The call log: one library call per line, so that a match can be stored,
// replayed and checked bit for bit. The grammar is described in host/README.md.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <zibber.h>
#include "host/state_hash.h"
#include "host/world_handle.h"

namespace zbhost {

enum class CallKind { create, setup, action, step, check, end };

struct ReplayCall {
    CallKind kind = CallKind::step;
    int line = 0;  // 1-based line in the file, for messages
    uint64_t seed = 0;
    std::vector<int32_t> sizes;
    std::vector<int32_t> kinds;
    bool kindsNull = true;
    int32_t index = 0;
    int32_t actionKind = 0;
    double value = 0.0;
    uint32_t steps = 1;
    uint32_t checkTick = 0;
    uint64_t checkHash = 0;  // on an end line, the final state hash
    // The running hash over every step so far (see chainStep); logs written
    // before it existed lack it on their check lines.
    bool hasChain = false;
    uint64_t chain = 0;
    uint64_t endSteps = 0;  // an end line's count of zb_step calls in the whole log
    // Part hashes are optional on a check line; a zero mask means only the
    // total was given.
    uint32_t checkPartMask = 0;
    std::array<uint64_t, kPartCount> checkParts{};
};

// On failure `error` reads "line N: what is wrong" and `calls` is partial.
// A log must start with a create line, and nothing but comments may follow
// its end line.
bool parseReplay(std::string_view text, std::vector<ReplayCall>& calls, std::string& error);
// Refuses anything but a non-empty regular file: a FIFO or a device would
// block or never end.
bool readReplayFile(const std::string& path, std::vector<ReplayCall>& calls, std::string& error);

// The running hash of check and end lines: FNV-1a continued over each step's
// state hash (8 bytes, little-endian), from kFnvOffsetBasis before the first
// step. A divergence that heals before the next checkpoint still changes it.
uint64_t chainStep(uint64_t chain, uint64_t stateHash);

// Builds the text of a call log. Consecutive steps collapse into `step n`.
struct ReplayWriter {
    std::string text;
    uint32_t pendingSteps = 0;
    uint64_t steps = 0;
    uint64_t chain = kFnvOffsetBasis;
    bool chainKnown = true;  // false once a step came without its state hash
};

void writeComment(ReplayWriter& writer, std::string_view comment);
void writeCreate(ReplayWriter& writer, uint64_t seed);
// kinds null writes `kinds null`.
void writeSetup(ReplayWriter& writer, const std::vector<int32_t>& sizes, const int32_t* kinds, size_t kindCount);
void writeAction(ReplayWriter& writer, int32_t index, int32_t kind, double value);
// Give the state hash after the step so that check and end lines carry the
// running hash; without it they are written without one.
void writeStep(ReplayWriter& writer);
void writeStep(ReplayWriter& writer, uint64_t stateHash);
void writeCheck(ReplayWriter& writer, uint32_t tick, const StateHash& hash);
// The last line of a complete log: a log without it may have been cut short.
void writeEnd(ReplayWriter& writer, uint64_t finalHash);
const std::string& finishReplay(ReplayWriter& writer);

// False when `path` exists and is not a regular file: replacing a directory,
// a device or a FIFO is never what was meant.
bool canReplaceFile(const std::string& path, std::string& error);
// Writes a temporary file next to `path` and renames it, so a failure leaves
// no file behind. `error` names the file and the system's reason.
bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error);

std::string formatHash(uint64_t hash);

struct ReplayHooks {
    // After every zb_step; returning false stops the run.
    std::function<bool(const zb_world*)> afterStep;
    // At every check line; returning false stops the run.
    std::function<bool(const zb_world*, const ReplayCall&)> atCheck;
    // At the end line; returning false stops the run.
    std::function<bool(const zb_world*, const ReplayCall&)> atEnd;
};

// Replays the calls on `world` (a create line replaces it). Actions whose
// index is out of range are skipped, as the library would ignore them.
// Returns false when a hook stopped the run.
bool runReplay(const std::vector<ReplayCall>& calls, WorldHandle& world, const ReplayHooks& hooks);

}  // namespace zbhost
