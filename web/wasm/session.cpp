// Session lifetime and the state JavaScript reads after every step: the
// arrays point into the session's snapshot, which stays put until the next
// step or setup.
#include <iterator>

#include <emscripten/emscripten.h>

#include "host/state_hash.h"
#include "web/wasm/session.h"
#include "web/wasm/zibber_web.h"

void refreshState(zw_session& session) {
    zbhost::readSnapshot(session.world.get(), session.snapshot);
    session.teamOf.clear();
    for (size_t t = 0; t < session.sizes.size(); ++t)
        for (int32_t k = 0; k < session.sizes[t]; ++k) session.teamOf.push_back(static_cast<int32_t>(t));
    // A setup the library refused leaves other zibbers than the sizes say.
    session.teamOf.resize(static_cast<size_t>(session.snapshot.numZibbers), -1);
}

void resetSession(zw_session& session) { session = zw_session{}; }

namespace {

const std::vector<double>* arrayOf(const zw_session& session, int32_t array) {
    const zbhost::Snapshot& s = session.snapshot;
    switch (array) {
        case ZW_ZIBBERS: return &s.zibbers;
        case ZW_POINTS: return &s.points;
        case ZW_RUBYS: return &s.rubys;
        case ZW_OBSTACLES: return &s.obstacles;
        case ZW_PROJECTILES: return &s.projectiles;
        case ZW_PARTICLES: return &s.particles;
        case ZW_REMOVALS: return &s.removals;
        default: return nullptr;
    }
}

int32_t countOf(const zw_session& session, int32_t array) {
    const zbhost::Snapshot& s = session.snapshot;
    const int32_t counts[] = {s.numZibbers,     s.numPoints,    s.numRubys,   s.numObstacles,
                              s.numProjectiles, s.numParticles, s.numRemovals};
    return array >= 0 && array < static_cast<int32_t>(std::size(counts)) ? counts[array] : 0;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE zw_session* zw_create(void) {
    zw_session* session = new zw_session;
    refreshState(*session);
    return session;
}

EMSCRIPTEN_KEEPALIVE void zw_destroy(zw_session* session) { delete session; }

EMSCRIPTEN_KEEPALIVE int32_t zw_step_index(const zw_session* session) { return session ? session->stepIndex : 0; }
EMSCRIPTEN_KEEPALIVE uint32_t zw_tick(const zw_session* session) { return session ? session->snapshot.tick : 0; }
EMSCRIPTEN_KEEPALIVE double zw_map_size(const zw_session* session) { return session ? session->snapshot.mapSize : 0.0; }
EMSCRIPTEN_KEEPALIVE int32_t zw_is_over(const zw_session* session) {
    return session && session->snapshot.isOver ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int32_t zw_num_teams(const zw_session* session) {
    return session ? session->snapshot.numTeams : 0;
}
EMSCRIPTEN_KEEPALIVE const int32_t* zw_team_scores(const zw_session* session) {
    return session ? session->snapshot.teamScores.data() : nullptr;
}
EMSCRIPTEN_KEEPALIVE const int32_t* zw_teams(const zw_session* session) {
    return session ? session->teamOf.data() : nullptr;
}
EMSCRIPTEN_KEEPALIVE int32_t zw_count(const zw_session* session, int32_t array) {
    return session ? countOf(*session, array) : 0;
}
EMSCRIPTEN_KEEPALIVE const double* zw_array(const zw_session* session, int32_t array) {
    const std::vector<double>* values = session ? arrayOf(*session, array) : nullptr;
    return values ? values->data() : nullptr;
}

EMSCRIPTEN_KEEPALIVE const char* zw_hash(zw_session* session) {
    if (!session) return "";
    session->text = zbhost::formatHash(zbhost::hashSnapshot(session->snapshot).total);
    return session->text.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* zw_error(const zw_session* session) { return session ? session->error.c_str() : ""; }

}  // extern "C"
