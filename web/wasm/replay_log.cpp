// A loaded call log, stepped through a step at a time so the page can play
// it, scrub it and stop anywhere. The log is read by the host library's
// parser; checkpoints are verified by its replayer and its verification,
// as `zibber replay --check` verifies them.
#include <algorithm>

#include <emscripten/emscripten.h>

#include "host/verify_log.h"
#include "web/wasm/session.h"
#include "web/wasm/zibber_web.h"

namespace {

// Longer logs would leave the page stepping for hours.
constexpr uint64_t kMaxLogSteps = 10'000'000;

void applyCall(zw_session& session, const zbhost::ReplayCall& call) {
    zb_world* world = session.world.get();
    switch (call.kind) {
        case zbhost::CallKind::create:
            session.world.reset(zb_create(call.seed));
            session.sizes.clear();
            break;
        case zbhost::CallKind::setup: {
            zb_setup(world, call.sizes.data(), static_cast<int32_t>(call.sizes.size()),
                     call.kindsNull ? nullptr : call.kinds.data());
            int64_t created = 0;
            for (int32_t size : call.sizes) created += size > 0 ? size : 0;
            // A refused setup keeps the old zibbers, and their teams.
            if (created == zb_num_zibbers(world)) session.sizes = call.sizes;
            break;
        }
        case zbhost::CallKind::action:
            if (call.index >= 0 && call.index < zb_num_zibbers(world))
                zb_set_action(world, call.index, call.actionKind, call.value);
            break;
        case zbhost::CallKind::step:
        case zbhost::CallKind::check:
        case zbhost::CallKind::end: break;
    }
}

void rewind(zw_session& session) {
    session.world.reset();
    session.sizes.clear();
    session.nextCall = 0;
    session.stepsIntoCall = 0;
    session.stepIndex = 0;
}

}  // namespace

// The calls between two steps go with the step after them, so the state
// shown after step k is the one the hash of step k was taken from; those
// before the first step and after the last are applied as well.
int32_t advanceLog(zw_session& session, int32_t steps) {
    int32_t taken = 0;
    while (session.nextCall < session.calls.size()) {
        const zbhost::ReplayCall& call = session.calls[session.nextCall];
        if (call.kind != zbhost::CallKind::step) {
            if (taken == steps && session.stepIndex > 0 && session.stepIndex < session.logSteps) break;
            applyCall(session, call);
            ++session.nextCall;
        } else if (session.stepsIntoCall == call.steps) {
            ++session.nextCall;
            session.stepsIntoCall = 0;
        } else if (taken < steps) {
            zb_step(session.world.get());
            ++session.stepsIntoCall;
            ++session.stepIndex;
            ++taken;
        } else {
            break;
        }
    }
    refreshState(session);
    return taken;
}

extern "C" {

EMSCRIPTEN_KEEPALIVE int32_t zw_load_log(zw_session* session, const char* text, int32_t length) {
    if (!session) return 0;
    // A log that does not load leaves the session as it was, so the page
    // keeps showing what it showed.
    std::vector<zbhost::ReplayCall> calls;
    std::string_view bytes = text && length > 0 ? std::string_view(text, static_cast<size_t>(length)) : "";
    if (!zbhost::parseReplay(bytes, calls, session->error)) return 0;
    uint64_t steps = 0;
    for (const zbhost::ReplayCall& call : calls)
        if (call.kind == zbhost::CallKind::step) steps += call.steps;
    if (steps > kMaxLogSteps) {
        session->error = "the log has " + std::to_string(steps) + " steps, more than the page replays (" +
                         std::to_string(kMaxLogSteps) + ")";
        return 0;
    }
    resetSession(*session);
    session->calls = std::move(calls);
    session->logSteps = static_cast<int32_t>(steps);
    advanceLog(*session, 0);
    return 1;
}

EMSCRIPTEN_KEEPALIVE int32_t zw_log_steps(const zw_session* session) { return session ? session->logSteps : 0; }

EMSCRIPTEN_KEEPALIVE int32_t zw_seek(zw_session* session, int32_t step, int32_t budget) {
    if (!session || session->playing) return 0;
    step = std::clamp(step, 0, session->logSteps);
    if (step == session->stepIndex) return 1;  // the page asks every frame
    if (step < session->stepIndex) rewind(*session);
    advanceLog(*session, std::min(step - session->stepIndex, std::max(budget, 0)));
    return session->stepIndex == step ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int32_t zw_verify_checkpoints(zw_session* session) {
    if (!session) return 0;
    session->checkpoints.clear();
    zbhost::LogVerification v;
    bool anyLine = std::any_of(session->calls.begin(), session->calls.end(), [](const zbhost::ReplayCall& c) {
        return c.kind == zbhost::CallKind::check || c.kind == zbhost::CallKind::end;
    });
    // Nothing to verify needs no replay.
    if (!anyLine) {
        session->unproven = zbhost::unprovenReason(v, 0);
        return 0;
    }
    // Unlike the command, it goes on past a line that differs, so that
    // every line gets its mark.
    zbhost::ReplayHooks hooks;
    hooks.afterStep = [&](const zb_world* world) { return zbhost::verifyStep(v, world), true; };
    hooks.atCheck = [&](const zb_world* world, const zbhost::ReplayCall& call) {
        std::string difference = zbhost::verifyLine(v, world, call);
        session->checkpoints.push_back({call, static_cast<int32_t>(v.steps), zb_tick(world), std::move(difference)});
        return true;
    };
    hooks.atEnd = hooks.atCheck;
    zbhost::WorldHandle world;
    zbhost::runReplay(session->calls, world, hooks);
    session->unproven = zbhost::unprovenReason(v, zb_tick(world.get()));
    return static_cast<int32_t>(session->checkpoints.size());
}

EMSCRIPTEN_KEEPALIVE void zw_checkpoint(const zw_session* session, int32_t index, double* out) {
    if (!session || !out || index < 0 || index >= static_cast<int32_t>(session->checkpoints.size())) return;
    const CheckpointResult& c = session->checkpoints[static_cast<size_t>(index)];
    bool end = c.call.kind == zbhost::CallKind::end;
    out[0] = end ? c.tick : c.call.checkTick;
    out[1] = c.stepIndex;
    out[2] = c.call.line;
    out[3] = c.difference.empty() ? 1.0 : 0.0;
    out[4] = end ? 1.0 : 0.0;
    out[5] = static_cast<double>(c.call.endSteps);
}

EMSCRIPTEN_KEEPALIVE const char* zw_checkpoint_text(zw_session* session, int32_t index, int32_t which) {
    if (!session || index < 0 || index >= static_cast<int32_t>(session->checkpoints.size())) return "";
    const CheckpointResult& c = session->checkpoints[static_cast<size_t>(index)];
    session->text = which == 0 ? zbhost::formatHash(c.call.checkHash) : c.difference;
    return session->text.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* zw_verify_note(const zw_session* session) {
    return session ? session->unproven.c_str() : "";
}

}  // extern "C"
