// One match of a batch: its World, its bots, and what its agents saw last.
#pragma once

#include <zibber_env.h>

#include <cstdint>
#include <vector>

#include "env/layout.h"
#include "env/observe.h"
#include "env/point_mirror.h"
#include "host/bots.h"
#include "host/random.h"
#include "host/snapshot.h"
#include "host/world_handle.h"

namespace zbenv {

// What every match of a batch shares.
struct MatchConfig {
    std::vector<int32_t> sizes;
    std::vector<int32_t> kinds;               // empty: all random
    std::vector<int32_t> teamOf;              // per zibber
    std::vector<int32_t> agentZibber;         // per agent, its zibber index
    std::vector<zbhost::BotPolicy> policies;  // per team; learning teams get one whose actions are dropped
    std::vector<uint8_t> botTeam;             // per team
    bool hasBots = false;
    ObsLayout layout;
    int32_t observationSize = 0;
    double deathPenalty = 10.0;
    uint32_t maxSteps = 4000;
    int32_t angleBins = 0;
    bool autoRestart = true;
    bool playOut = false;
};

// Where one match's rows of the caller's buffers start.
struct MatchRows {
    float* observations;
    float* rewards;
    uint8_t* terminated;
    uint8_t* truncated;
    uint8_t* alive;
    uint8_t* ended;
    float* finalObservations;  // the optional ones may be null
    env_episode* episode;
    int32_t* teamScores;
};

// What a thread needs while it steps a match, shared by all its matches so
// that it stays in the cache.
struct Workspace {
    zbhost::Snapshot snapshot;
    ObserveScratch observe;
    MirrorScratch mirror;
};

struct Match {
    zbhost::WorldHandle world;
    // With bots, the whole state after the last step (they decide from it);
    // otherwise only its zibbers, for the next actions.
    zbhost::Snapshot snapshot;
    PointMirror points;  // kept only when there are agents to observe
    zbhost::BotState bots;
    std::vector<zbhost::ActionCall> botActions;
    std::vector<double> lastScore;   // per agent
    std::vector<double> pointReach;  // per agent: how far its farthest nearest point was last step
    std::vector<uint8_t> wasAlive, terminated, truncated;
    zbhost::SplitMix64 seeds;  // the match's seed sequence
    uint64_t seed = 0;
    bool waiting = false;  // ended, and not restarted on its own
};

// Starts a match from `seed` and writes its first observations.
void startMatch(const MatchConfig& config, Match& match, Workspace& ws, uint64_t seed, const MatchRows& rows);

// Applies one step of actions (already checked) and writes the outcome; a
// match that ends reports and, with autoRestart, starts its next seed.
// Returns whether it ended.
bool stepMatch(const MatchConfig& config, Match& match, Workspace& ws, const int32_t* kinds, const double* angles,
               const MatchRows& rows);

}  // namespace zbenv
