// A bot match in the page: the built-in bots play every zibber but the
// player's, and every call is written to a call log as it is made, so the
// match can be saved and checked by `zibber replay --check`.
#include <cerrno>
#include <cstdlib>
#include <numeric>

#include <emscripten/emscripten.h>

#include "host/match.h"
#include "web/wasm/session.h"
#include "web/wasm/zibber_web.h"

namespace {

bool parseSeed(const char* text, uint64_t& seed) {
    if (!text || !*text || *text == '-') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0') return false;
    seed = value;
    return true;
}

bool fail(zw_session& session, std::string message) {
    session.error = std::move(message);
    return false;
}

bool startMatch(zw_session& session, const char* seedText, const std::vector<int32_t>& sizes,
                const std::vector<int32_t>& botNumbers, int32_t controlled) {
    uint64_t seed = 0;
    if (!parseSeed(seedText, seed)) return fail(session, "the seed must be a decimal or 0x hex number");
    if (sizes.empty()) return fail(session, "a match needs at least one team");
    std::vector<zbhost::BotPolicy> policies;
    for (size_t t = 0; t < sizes.size(); ++t) {
        if (sizes[t] < 1) return fail(session, "every team needs at least one zibber");
        if (botNumbers[t] < 0 || botNumbers[t] >= static_cast<int32_t>(std::size(zbhost::kAllPolicies)))
            return fail(session, "unknown bot");
        policies.push_back(zbhost::kAllPolicies[botNumbers[t]]);
    }
    int64_t total = std::accumulate(sizes.begin(), sizes.end(), int64_t{0});
    if (total > ZB_MAX_ZIBBERS) return fail(session, "at most " + std::to_string(ZB_MAX_ZIBBERS) + " zibbers");

    resetSession(session);
    std::vector<int32_t> kinds = zbhost::mixedKinds(sizes);
    session.world.reset(zb_create(seed));
    zb_setup(session.world.get(), sizes.data(), static_cast<int32_t>(sizes.size()), kinds.data());
    zbhost::writeComment(session.log, "played in the browser page");
    zbhost::writeCreate(session.log, seed);
    zbhost::writeSetup(session.log, sizes, kinds.data(), kinds.size());
    session.playing = true;
    session.sizes = sizes;
    session.bots = zbhost::makeBotState(sizes, policies, seed);
    session.controlled = controlled >= 0 && controlled < total ? controlled : -1;
    refreshState(session);
    return true;
}

void sendAction(zw_session& session, const zbhost::ActionCall& a) {
    zb_set_action(session.world.get(), a.index, a.kind, a.value);
    zbhost::writeAction(session.log, a.index, a.kind, a.value);
}

void stepMatch(zw_session& session) {
    session.actions.clear();
    zbhost::decideActions(session.snapshot, session.bots, session.actions);
    for (const zbhost::ActionCall& a : session.actions)
        if (a.index != session.controlled) sendAction(session, a);
    if (session.playerActionPending) sendAction(session, session.playerAction);
    session.playerActionPending = false;
    zb_step(session.world.get());
    ++session.stepIndex;
    refreshState(session);
    // Every step's hash goes into the log's running hash; parts only where a
    // check line needs them.
    bool checkHere = session.snapshot.tick % zbhost::kCheckInterval == 0;
    zbhost::StateHash hash = zbhost::hashSnapshot(session.snapshot, checkHere);
    zbhost::writeStep(session.log, hash.total);
    if (checkHere) zbhost::writeCheck(session.log, session.snapshot.tick, hash);
}

}  // namespace

// Defined with the log replay.
int32_t advanceLog(zw_session& session, int32_t steps);

extern "C" {

EMSCRIPTEN_KEEPALIVE int32_t zw_start_match(zw_session* session, const char* seed, const int32_t* sizes,
                                            const int32_t* bots, int32_t teamCount, int32_t controlled) {
    if (!session) return 0;
    if (!sizes || !bots || teamCount < 1) {
        fail(*session, "a match needs at least one team");
        return 0;
    }
    std::vector<int32_t> sizeList(sizes, sizes + teamCount);
    std::vector<int32_t> botList(bots, bots + teamCount);
    return startMatch(*session, seed, sizeList, botList, controlled) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const char* zw_bot_name(int32_t bot) {
    if (bot < 0 || bot >= static_cast<int32_t>(std::size(zbhost::kAllPolicies))) return "";
    // policyName views a string literal, so it ends with a NUL.
    return zbhost::policyName(zbhost::kAllPolicies[bot]).data();
}

EMSCRIPTEN_KEEPALIVE void zw_set_player_action(zw_session* session, int32_t kind, double heading) {
    if (!session || session->controlled < 0) return;
    session->playerAction = {session->controlled, kind, heading};
    session->playerActionPending = true;
}

EMSCRIPTEN_KEEPALIVE int32_t zw_advance(zw_session* session, int32_t steps) {
    if (!session) return 0;
    if (!session->playing) return advanceLog(*session, steps);
    int32_t taken = 0;
    for (; taken < steps && !session->snapshot.isOver; ++taken) stepMatch(*session);
    return taken;
}

EMSCRIPTEN_KEEPALIVE const char* zw_saved_log(zw_session* session) {
    if (!session || !session->playing) return "";
    // The copy is closed with a check of the current state and the end
    // line; the session's own log stays open for the steps still to come.
    zbhost::ReplayWriter copy = session->log;
    const zbhost::Snapshot& s = session->snapshot;
    zbhost::StateHash hash = zbhost::hashSnapshot(s);
    if (s.tick % zbhost::kCheckInterval != 0 || session->stepIndex == 0) zbhost::writeCheck(copy, s.tick, hash);
    zbhost::writeEnd(copy, hash.total);
    session->text = zbhost::finishReplay(copy);
    return session->text.c_str();
}

}  // extern "C"
