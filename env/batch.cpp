// The C interface: a batch of matches, checked input, and the threads that step them.
#include <zibber_env.h>

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "env/match.h"
#include "env/worker_pool.h"

struct env_batch {
    zbenv::MatchConfig config;
    std::vector<zbenv::Match> matches;
    std::vector<zbenv::Workspace> workspaces;  // one per thread
    zbenv::WorkerPool pool;
    env_buffers buffers{};
    bool hasBuffers = false;
    bool started = false;
    std::string error;
};

namespace {

constexpr int32_t kMaxEnvs = 1 << 20;
constexpr int32_t kMaxThreads = 256;
constexpr int32_t kMaxSlots = 1024;  // neighbours of one sort in a vector
constexpr int32_t kMaxAngleBins = 1 << 20;
constexpr int32_t kActionKinds = 3;  // walk, tap, hold

std::string format(const char* fmt, ...) {
    char text[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

int32_t fail(env_batch* batch, std::string message) {
    batch->error = std::move(message);
    return -1;
}

// Why the configuration cannot be used, or empty.
std::string checkConfig(const env_config& c) {
    if (c.numEnvs < 1 || c.numEnvs > kMaxEnvs) return format("numEnvs must be 1 to %d, got %d", kMaxEnvs, c.numEnvs);
    if (c.numTeams < 1 || !c.sizes) return "a match needs at least one team (numTeams >= 1 and sizes)";
    int64_t zibbers = 0;
    for (int32_t t = 0; t < c.numTeams; ++t) {
        if (c.sizes[t] < 0) return format("sizes[%d] is negative (%d)", t, c.sizes[t]);
        zibbers += c.sizes[t];
        if (c.teams && (c.teams[t] < ENV_LEARNER || c.teams[t] > ENV_BOT_RANDOM))
            return format("teams[%d] = %d is neither ENV_LEARNER (-1) nor a bot (0 to 3)", t, c.teams[t]);
    }
    if (zibbers < 1 || zibbers > ZB_MAX_ZIBBERS)
        return format("a match holds 1 to %d zibbers, these sizes make %lld", ZB_MAX_ZIBBERS,
                      static_cast<long long>(zibbers));
    for (int64_t i = 0; c.kinds && i < zibbers; ++i)
        if (c.kinds[i] >= ZB_KIND_COUNT)
            return format("kinds[%lld] = %d is not a zibber kind (0 to 3, negative for random)",
                          static_cast<long long>(i), c.kinds[i]);
    for (int32_t k : {c.rivals, c.mates, c.points, c.rubys, c.obstacles, c.projectiles})
        if (k < 0 || k > kMaxSlots) return format("neighbour counts must be 0 to %d, got %d", kMaxSlots, k);
    if (!(std::isfinite(c.scale) && c.scale > 0)) return "scale must be finite and positive";
    if (!std::isfinite(c.deathPenalty)) return "deathPenalty must be finite";
    if (c.maxSteps < 1) return "maxSteps must be at least 1";
    if (c.angleBins < 0 || c.angleBins > kMaxAngleBins) return format("angleBins must be 0 to %d", kMaxAngleBins);
    if (c.threads < 1 || c.threads > kMaxThreads) return format("threads must be 1 to %d", kMaxThreads);
    return {};
}

zbenv::MatchConfig matchConfig(const env_config& c) {
    zbenv::MatchConfig m;
    m.sizes.assign(c.sizes, c.sizes + c.numTeams);
    for (int32_t t = 0; t < c.numTeams; ++t) {
        bool bot = c.teams && c.teams[t] != ENV_LEARNER;
        m.botTeam.push_back(bot);
        m.hasBots = m.hasBots || bot;
        // A learning team still gets a policy that draws no random numbers;
        // its decisions are dropped.
        m.policies.push_back(bot ? static_cast<zbhost::BotPolicy>(c.teams[t]) : zbhost::BotPolicy::collector);
        for (int32_t k = 0; k < c.sizes[t]; ++k) {
            if (!bot) m.agentZibber.push_back(static_cast<int32_t>(m.teamOf.size()));
            m.teamOf.push_back(t);
        }
    }
    if (c.kinds) m.kinds.assign(c.kinds, c.kinds + m.teamOf.size());
    m.layout = {c.rivals, c.mates, c.points, c.rubys, c.obstacles, c.projectiles, c.scale};
    m.observationSize = zbenv::observationSize(m.layout);
    m.deathPenalty = c.deathPenalty;
    m.maxSteps = c.maxSteps;
    m.angleBins = c.angleBins;
    m.autoRestart = c.autoRestart != 0;
    m.playOut = c.playOut != 0;
    return m;
}

zbenv::MatchRows rowsOf(const env_batch* b, int32_t e) {
    const auto agents = static_cast<std::ptrdiff_t>(b->config.agentZibber.size());
    const std::ptrdiff_t row = e * agents, obs = row * b->config.observationSize;
    const env_buffers& o = b->buffers;
    return {o.observations + obs,
            o.rewards + row,
            o.terminated + row,
            o.truncated + row,
            o.alive + row,
            o.ended + e,
            o.finalObservations ? o.finalObservations + obs : nullptr,
            o.episodes ? o.episodes + e : nullptr,
            o.teamScores ? o.teamScores + static_cast<std::ptrdiff_t>(e) * b->config.sizes.size() : nullptr};
}

// Every match once, on whichever thread is free next: matches that restart
// cost more than the others, and taking them one at a time keeps the threads
// equally busy. Matches share nothing, so who steps which changes no result.
template <typename Job>
void forEachMatch(env_batch* b, Job job) {
    std::atomic<int32_t> next{0};
    const auto count = static_cast<int32_t>(b->matches.size());
    runOnPool(b->pool, [&](int32_t thread) {
        for (int32_t e = next++; e < count; e = next++) job(e, b->workspaces[static_cast<size_t>(thread)]);
    });
}

int32_t checkReady(env_batch* b, bool needStarted) {
    if (!b->hasBuffers) return fail(b, "give the output buffers first (env_set_buffers)");
    if (needStarted && !b->started) return fail(b, "call env_reset before env_step");
    return 0;
}

// Checks every action a live agent would take before any match moves.
int32_t checkActions(env_batch* b, const int32_t* kinds, const double* angles) {
    const zbenv::MatchConfig& c = b->config;
    const auto agents = static_cast<int32_t>(c.agentZibber.size());
    if (agents > 0 && !kinds) return fail(b, "kinds is null");
    if (agents > 0 && c.angleBins == 0 && !angles) return fail(b, "angles is null (only discrete actions go without)");
    const int32_t highest = c.angleBins > 0 ? kActionKinds * c.angleBins - 1 : kActionKinds - 1;
    for (int32_t e = 0; e < static_cast<int32_t>(b->matches.size()); ++e) {
        const zbenv::Match& m = b->matches[static_cast<size_t>(e)];
        if (m.waiting) continue;
        for (int32_t a = 0; a < agents; ++a) {
            if (!m.wasAlive[static_cast<size_t>(a)]) continue;
            const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(e) * agents + a;
            if (kinds[at] < ENV_KEEP_ACTION || kinds[at] > highest)
                return fail(b, c.angleBins > 0
                                   ? format("action [%d, %d] = %d is outside 0 to %d (or -1 to keep the last)", e, a,
                                            kinds[at], highest)
                                   : format("kind [%d, %d] = %d is not 0 (walk), 1 (tap), 2 (hold) or -1 (keep)", e, a,
                                            kinds[at]));
            if (c.angleBins == 0 && kinds[at] != ENV_KEEP_ACTION && !std::isfinite(angles[at]))
                return fail(b, format("angle [%d, %d] is %f; angles must be finite", e, a, angles[at]));
        }
    }
    return 0;
}

}  // namespace

extern "C" {

ENV_API void env_default_config(env_config* out) {
    if (!out) return;
    *out = env_config{};
    out->numEnvs = 1;
    zbenv::ObsLayout layout;
    out->rivals = layout.rivals;
    out->mates = layout.mates;
    out->points = layout.points;
    out->rubys = layout.rubys;
    out->obstacles = layout.obstacles;
    out->projectiles = layout.projectiles;
    out->scale = layout.scale;
    out->deathPenalty = 10.0;
    out->maxSteps = 4000;
    out->threads = 1;
    out->autoRestart = 1;
    out->seed = 1;
}

ENV_API env_batch* env_create(const env_config* config, char* error, int32_t errorSize) {
    std::string why = config ? checkConfig(*config) : "config is null";
    auto* batch = why.empty() ? new env_batch : nullptr;
    if (batch) {
        batch->config = matchConfig(*config);
        const int32_t n = config->numEnvs;
        batch->matches.resize(static_cast<size_t>(n));
        for (int32_t e = 0; e < n; ++e) {
            // Each match its own sequence, apart from the others'.
            zbhost::SplitMix64 mix{config->seed + 0x632be59bd9b4e019ull * static_cast<uint64_t>(e + 1)};
            batch->matches[static_cast<size_t>(e)].seeds.state = zbhost::nextBits(mix);
        }
        const int32_t threads = std::min(config->threads, n);
        batch->workspaces.resize(static_cast<size_t>(threads));
        try {
            zbenv::startPool(batch->pool, threads);
        } catch (const std::system_error& err) {
            why = std::string("could not start the worker threads: ") + err.what();
            zbenv::stopPool(batch->pool);
            delete batch;
            batch = nullptr;
        }
    }
    if (!batch && error && errorSize > 0) std::snprintf(error, static_cast<size_t>(errorSize), "%s", why.c_str());
    return batch;
}

ENV_API void env_destroy(env_batch* batch) {
    if (!batch) return;
    zbenv::stopPool(batch->pool);
    delete batch;
}

ENV_API int32_t env_num_envs(const env_batch* batch) { return batch ? static_cast<int32_t>(batch->matches.size()) : 0; }
ENV_API int32_t env_num_agents(const env_batch* batch) {
    return batch ? static_cast<int32_t>(batch->config.agentZibber.size()) : 0;
}
ENV_API int32_t env_observation_size(const env_batch* batch) { return batch ? batch->config.observationSize : 0; }
ENV_API const char* env_last_error(const env_batch* batch) {
    return batch ? batch->error.c_str() : "the batch is null";
}

ENV_API int32_t env_set_buffers(env_batch* batch, const env_buffers* buffers) {
    if (!batch) return -1;
    // A match without agents has no per-agent rows to write.
    const bool agents = !batch->config.agentZibber.empty();
    if (!buffers || !buffers->ended ||
        (agents && (!buffers->observations || !buffers->rewards || !buffers->terminated || !buffers->truncated ||
                    !buffers->alive)))
        return fail(batch, "observations, rewards, terminated, truncated, alive and ended are required");
    batch->buffers = *buffers;
    batch->hasBuffers = true;
    return 0;
}

ENV_API int32_t env_reset(env_batch* batch, const uint64_t* seeds) {
    if (!batch || checkReady(batch, false) < 0) return -1;
    forEachMatch(batch, [&](int32_t e, zbenv::Workspace& ws) {
        zbenv::Match& m = batch->matches[static_cast<size_t>(e)];
        if (seeds) m.seeds.state = seeds[e];
        zbenv::MatchRows rows = rowsOf(batch, e);
        startMatch(batch->config, m, ws, seeds ? seeds[e] : zbhost::nextBits(m.seeds), rows);
        const auto agents = batch->config.agentZibber.size();
        std::fill(rows.rewards, rows.rewards + agents, 0.0f);
        std::fill(rows.terminated, rows.terminated + agents, 0);
        std::fill(rows.truncated, rows.truncated + agents, 0);
        *rows.ended = 0;
    });
    batch->started = true;
    return 0;
}

ENV_API int32_t env_reset_match(env_batch* batch, int32_t index, uint64_t seed) {
    if (!batch || checkReady(batch, true) < 0) return -1;
    if (index < 0 || index >= static_cast<int32_t>(batch->matches.size()))
        return fail(batch, format("match %d does not exist (0 to %zu)", index, batch->matches.size() - 1));
    zbenv::Match& m = batch->matches[static_cast<size_t>(index)];
    m.seeds.state = seed;
    zbenv::MatchRows rows = rowsOf(batch, index);
    startMatch(batch->config, m, batch->workspaces[0], seed, rows);
    const auto agents = batch->config.agentZibber.size();
    std::fill(rows.rewards, rows.rewards + agents, 0.0f);
    std::fill(rows.terminated, rows.terminated + agents, 0);
    std::fill(rows.truncated, rows.truncated + agents, 0);
    return 0;
}

ENV_API int32_t env_step(env_batch* batch, const int32_t* kinds, const double* angles) {
    if (!batch || checkReady(batch, true) < 0 || checkActions(batch, kinds, angles) < 0) return -1;
    const auto agents = static_cast<std::ptrdiff_t>(batch->config.agentZibber.size());
    forEachMatch(batch, [&](int32_t e, zbenv::Workspace& ws) {
        const std::ptrdiff_t row = e * agents;
        stepMatch(batch->config, batch->matches[static_cast<size_t>(e)], ws, kinds ? kinds + row : nullptr,
                  angles ? angles + row : nullptr, rowsOf(batch, e));
    });
    int32_t ended = 0;
    for (size_t e = 0; e < batch->matches.size(); ++e) ended += batch->buffers.ended[e];
    return ended;
}

ENV_API const zb_world* env_world(const env_batch* batch, int32_t index) {
    if (!batch || index < 0 || index >= static_cast<int32_t>(batch->matches.size())) return nullptr;
    return batch->matches[static_cast<size_t>(index)].world.get();
}

}  // extern "C"
