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

enum class CallKind { create, setup, action, step, check };

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
    uint64_t checkHash = 0;
    // Part hashes are optional on a check line; a zero mask means only the
    // total was given.
    uint32_t checkPartMask = 0;
    std::array<uint64_t, kPartCount> checkParts{};
};

// On failure `error` reads "line N: what is wrong" and `calls` is partial.
bool parseReplay(std::string_view text, std::vector<ReplayCall>& calls, std::string& error);
bool readReplayFile(const std::string& path, std::vector<ReplayCall>& calls, std::string& error);

// Builds the text of a call log. Consecutive steps collapse into `step n`.
struct ReplayWriter {
    std::string text;
    uint32_t pendingSteps = 0;
};

void writeComment(ReplayWriter& writer, std::string_view comment);
void writeCreate(ReplayWriter& writer, uint64_t seed);
// kinds null writes `kinds null`.
void writeSetup(ReplayWriter& writer, const std::vector<int32_t>& sizes, const int32_t* kinds, size_t kindCount);
void writeAction(ReplayWriter& writer, int32_t index, int32_t kind, double value);
void writeStep(ReplayWriter& writer);
void writeCheck(ReplayWriter& writer, uint32_t tick, const StateHash& hash);
const std::string& finishReplay(ReplayWriter& writer);

// Writes next to `path` and renames, so a failed run never leaves half a file.
bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error);

std::string formatHash(uint64_t hash);

struct ReplayHooks {
    // After every zb_step; returning false stops the run.
    std::function<bool(const zb_world*)> afterStep;
    // At every check line; returning false stops the run.
    std::function<bool(const zb_world*, const ReplayCall&)> atCheck;
};

// Replays the calls on `world` (a create line replaces it). Actions whose
// index is out of range are skipped, as the library would ignore them.
// Returns false when a hook stopped the run.
bool runReplay(const std::vector<ReplayCall>& calls, WorldHandle& world, const ReplayHooks& hooks);

}  // namespace zbhost
