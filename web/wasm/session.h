// What one page session keeps between calls from JavaScript.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/bots.h"
#include "host/call_log.h"
#include "host/snapshot.h"
#include "host/world_handle.h"

// A check or end line of a loaded log, verified.
struct CheckpointResult {
    zbhost::ReplayCall call;
    int32_t stepIndex = 0;
    uint32_t tick = 0;       // replayed; an end line names none of its own
    std::string difference;  // what differs, "" when the line agrees
};

struct zw_session {
    zbhost::WorldHandle world;
    zbhost::Snapshot snapshot;
    std::vector<int32_t> sizes;  // of the last setup, for the team of each zibber
    std::vector<int32_t> teamOf;
    int32_t stepIndex = 0;  // steps taken since the session began
    std::string error;
    std::string text;  // backs the last string handed to JavaScript

    // A bot match.
    bool playing = false;
    zbhost::BotState bots;
    int32_t controlled = -1;
    bool playerActionPending = false;
    zbhost::ActionCall playerAction{};
    std::vector<zbhost::ActionCall> actions;
    zbhost::ReplayWriter log;

    // A loaded log, and where in it the World stands.
    std::vector<zbhost::ReplayCall> calls;
    int32_t logSteps = 0;
    size_t nextCall = 0;
    uint32_t stepsIntoCall = 0;
    std::vector<CheckpointResult> checkpoints;
    std::string unproven;  // why the log, its lines agreeing, is not proven whole
};

// Reads the World after a step or a setup, with the team of every zibber.
void refreshState(zw_session& session);
// Forgets the World and whatever drove it.
void resetSession(zw_session& session);
