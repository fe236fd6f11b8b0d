#include "env/match.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "host/state_hash.h"

namespace zbenv {

namespace {

using zbhost::Snapshot;

// The state after a step, in the match's snapshot when bots need it there,
// else in the thread's.
const Snapshot& readState(const MatchConfig& config, Match& match, Workspace& ws) {
    if (config.hasBots) {
        zbhost::readSnapshot(match.world.get(), match.snapshot);
        return match.snapshot;
    }
    zbhost::readArenaWithoutPoints(match.world.get(), ws.snapshot);
    match.snapshot.numZibbers = ws.snapshot.numZibbers;
    match.snapshot.zibbers.assign(ws.snapshot.zibbers.begin(), ws.snapshot.zibbers.end());
    return ws.snapshot;
}

// The point export when readState has read it for the bots, so that the
// points are not copied twice.
const double* exportedPoints(const MatchConfig& config, const Match& match) {
    return config.hasBots ? match.snapshot.points.data() : nullptr;
}

bool isAlive(const Snapshot& s, int32_t i) { return zbhost::zibberAt(s, i)[ZB_ZIBBER_ALIVE] == 1.0; }

void observeAll(const MatchConfig& config, Match& match, const Snapshot& s, Workspace& ws, float* out) {
    if (config.agentZibber.empty()) return;
    prepareObservations(s, ws.observe);
    for (size_t a = 0; a < config.agentZibber.size(); ++a) {
        observeZibber(s, config.teamOf.data(), config.layout, config.agentZibber[a], match.points, match.pointReach[a],
                      ws.observe, out);
        out += config.observationSize;
    }
}

void sendActions(const MatchConfig& config, Match& match, const int32_t* kinds, const double* angles) {
    zb_world* world = match.world.get();
    const Snapshot& s = match.snapshot;
    if (config.hasBots) {
        match.botActions.clear();
        zbhost::decideActions(s, match.bots, match.botActions);
        for (const zbhost::ActionCall& a : match.botActions)
            if (config.botTeam[static_cast<size_t>(config.teamOf[static_cast<size_t>(a.index)])])
                zb_set_action(world, a.index, a.kind, a.value);
    }
    const auto agents = static_cast<int32_t>(config.agentZibber.size());
    for (int32_t a = 0; a < agents; ++a) {
        int32_t i = config.agentZibber[static_cast<size_t>(a)];
        if (kinds[a] == ENV_KEEP_ACTION || !isAlive(s, i)) continue;
        int32_t kind = kinds[a];
        double relative;
        if (config.angleBins > 0) {
            int32_t sector = kind % config.angleBins;
            kind /= config.angleBins;
            // The middle of one of angleBins equal sectors, starting behind the zibber.
            relative = -std::numbers::pi + (sector + 0.5) * (2.0 * std::numbers::pi / config.angleBins);
        } else {
            relative = angles[a];
        }
        zb_set_action(world, i, kind, zbhost::zibberAt(s, i)[ZB_ZIBBER_HEADING] + relative);
    }
}

void report(const MatchConfig& config, Match& match, const MatchRows& rows) {
    const auto agents = config.agentZibber.size();
    if (rows.finalObservations)
        std::memcpy(rows.finalObservations, rows.observations, agents * config.observationSize * sizeof(float));
    // The hash covers every export, so read what the agents alone did not need.
    zbhost::readSnapshot(match.world.get(), match.snapshot);
    const Snapshot& s = match.snapshot;
    if (rows.episode) *rows.episode = env_episode{match.seed, zbhost::hashSnapshot(s).total, s.tick, s.isOver ? 1 : 0};
    if (rows.teamScores)
        for (size_t t = 0; t < config.sizes.size(); ++t)
            rows.teamScores[t] = t < s.teamScores.size() ? s.teamScores[t] : 0;
}

}  // namespace

void startMatch(const MatchConfig& config, Match& match, Workspace& ws, uint64_t seed, const MatchRows& rows) {
    match.seed = seed;
    match.waiting = false;
    match.world.reset(zb_create(seed));
    zb_setup(match.world.get(), config.sizes.data(), static_cast<int32_t>(config.sizes.size()),
             config.kinds.empty() ? nullptr : config.kinds.data());
    // Seeded as a match between bots is, so that bots-only matches repeat those exactly.
    if (config.hasBots) match.bots = zbhost::makeBotState(config.sizes, config.policies, seed);
    const Snapshot& s = readState(config, match, ws);
    if (!config.agentZibber.empty())
        loadPointMirror(match.world.get(), match.points, ws.mirror, exportedPoints(config, match));

    const auto agents = config.agentZibber.size();
    match.lastScore.assign(agents, 0.0);
    match.pointReach.assign(agents, INFINITY);
    match.wasAlive.assign(agents, 1);
    match.terminated.assign(agents, 0);
    match.truncated.assign(agents, 0);
    for (size_t a = 0; a < agents; ++a) {
        match.lastScore[a] = zbhost::zibberAt(s, config.agentZibber[a])[ZB_ZIBBER_SCORE];
        match.wasAlive[a] = isAlive(s, config.agentZibber[a]);
        rows.alive[a] = match.wasAlive[a];
    }
    observeAll(config, match, s, ws, rows.observations);
}

bool stepMatch(const MatchConfig& config, Match& match, Workspace& ws, const int32_t* kinds, const double* angles,
               const MatchRows& rows) {
    const auto agents = config.agentZibber.size();
    *rows.ended = 0;
    if (match.waiting) {
        std::fill(rows.rewards, rows.rewards + agents, 0.0f);
        std::fill(rows.alive, rows.alive + agents, 0);
        std::copy(match.terminated.begin(), match.terminated.end(), rows.terminated);
        std::copy(match.truncated.begin(), match.truncated.end(), rows.truncated);
        return false;
    }
    sendActions(config, match, kinds, angles);
    zb_step(match.world.get());
    const Snapshot& s = readState(config, match, ws);
    if (agents > 0) syncPointMirror(match.world.get(), match.points, ws.mirror, exportedPoints(config, match));
    const bool limit = s.tick >= config.maxSteps;
    bool agentsDone = true;
    for (size_t a = 0; a < agents; ++a) {
        const double* z = zbhost::zibberAt(s, config.agentZibber[a]);
        bool alive = z[ZB_ZIBBER_ALIVE] == 1.0;
        // The penalty is paid once, in the step of the burst.
        double died = match.wasAlive[a] && !alive ? 1.0 : 0.0;
        rows.rewards[a] = static_cast<float>((z[ZB_ZIBBER_SCORE] - match.lastScore[a]) - config.deathPenalty * died);
        match.lastScore[a] = z[ZB_ZIBBER_SCORE];
        match.wasAlive[a] = alive;
        match.terminated[a] = rows.terminated[a] = !alive;
        match.truncated[a] = rows.truncated[a] = alive && limit;
        rows.alive[a] = alive && !limit;
        agentsDone = agentsDone && (!alive || limit);
    }
    observeAll(config, match, s, ws, rows.observations);

    bool ended = s.isOver || limit || (agents > 0 && agentsDone && !config.playOut);
    if (!ended) return false;
    *rows.ended = 1;
    report(config, match, rows);
    if (config.autoRestart) {
        startMatch(config, match, ws, zbhost::nextBits(match.seeds), rows);
    } else {
        match.waiting = true;
        std::fill(rows.alive, rows.alive + agents, 0);
    }
    return true;
}

}  // namespace zbenv
