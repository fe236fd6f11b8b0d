/*
 * The browser page's view of libzibber and the host library, compiled
 * together into one WebAssembly module. A session holds one World, driven
 * either by the built-in bots (with one zibber left to the player) or by a
 * loaded call log, and the state read back after the last step.
 */
#ifndef ZIBBER_WEB_H
#define ZIBBER_WEB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct zw_session zw_session;

/* Which exported array zw_array and zw_count describe. */
enum {
    ZW_ZIBBERS = 0,
    ZW_POINTS = 1,
    ZW_RUBYS = 2,
    ZW_OBSTACLES = 3,
    ZW_PROJECTILES = 4,
    ZW_PARTICLES = 5,
    ZW_REMOVALS = 6
};

zw_session* zw_create(void);
void zw_destroy(zw_session* session);

/* A bot match: seed in decimal or 0x hex, one size and one bot per team
 * (numbered as zw_bot_name names them); the zibber at index
 * `controlled` takes the player's actions instead (-1: none). Kinds 0..3 in
 * turn within each team. Returns 0 and sets zw_error on bad arguments. */
int32_t zw_start_match(zw_session* session, const char* seed, const int32_t* sizes, const int32_t* bots,
                       int32_t teamCount, int32_t controlled);
/* The name of bot number `bot`, or "" past the last. */
const char* zw_bot_name(int32_t bot);
/* The player's action for the coming step (ZB_ACTION_* kind, heading). */
void zw_set_player_action(zw_session* session, int32_t kind, double heading);
/* Plays up to `steps` steps of a bot match, or of a loaded log; stops at the
 * end of the match or of the log. Returns the steps taken. */
int32_t zw_advance(zw_session* session, int32_t steps);
/* The match played so far as a call log, closed with a check line and the
 * end line. */
const char* zw_saved_log(zw_session* session);

/* Loads a call log of `length` bytes (NUL bytes are the parser's to refuse). Returns 0 and sets zw_error when it does
 * not parse. */
int32_t zw_load_log(zw_session* session, const char* text, int32_t length);
int32_t zw_log_steps(const zw_session* session);
/* Moves to the state after `step` steps of the log, going forward at most
 * `budget` steps in this call (a step before the current one starts over).
 * Returns 1 once there. */
int32_t zw_seek(zw_session* session, int32_t step, int32_t budget);
/* Replays the whole log, verifying every check line and the end line as
 * `zibber replay --check` does, but on past a line that differs; then the
 * results: */
int32_t zw_verify_checkpoints(zw_session* session);
/* Fills the tick (an end line's: the replayed one), step index, line,
 * matched (0 or 1), end line (0 or 1) and an end line's step count of
 * checkpoint `index`; zw_checkpoint_text gives its expected hash (which 0)
 * and what differs (which 1, "" when it matches). */
void zw_checkpoint(const zw_session* session, int32_t index, double* out);
const char* zw_checkpoint_text(zw_session* session, int32_t index, int32_t which);
/* Why the log proves no whole match even where every line matches, as the
 * command words it (no check or end line, no end line), or "". */
const char* zw_verify_note(const zw_session* session);

/* The state after the last step. */
int32_t zw_step_index(const zw_session* session);
uint32_t zw_tick(const zw_session* session);
double zw_map_size(const zw_session* session);
int32_t zw_is_over(const zw_session* session);
int32_t zw_num_teams(const zw_session* session);
const int32_t* zw_team_scores(const zw_session* session);
/* Team of each zibber index, from the sizes of the last setup. */
const int32_t* zw_teams(const zw_session* session);
int32_t zw_count(const zw_session* session, int32_t array);
const double* zw_array(const zw_session* session, int32_t array);
const char* zw_hash(zw_session* session);
const char* zw_error(const zw_session* session);

#ifdef __cplusplus
}
#endif

#endif /* ZIBBER_WEB_H */
