/*
 * libzibber_env: many matches of one configuration stepped as one batch, for
 * training and for tournaments.
 *
 * A batch holds numEnvs matches. Each team of a match is either learning (its
 * zibbers are agents that take actions from the caller) or a built-in bot.
 * The caller hands over its own buffers once (env_set_buffers); env_reset and
 * env_step then write observations, rewards and flags straight into them,
 * indexed [env][agent], agents being the learning zibbers in index order.
 *
 * A match ends when all its agents are done (burst or past maxSteps), when no
 * zibber is left, or at maxSteps; a match without agents (or with playOut)
 * runs until no zibber is left or maxSteps. An ended match reports its last
 * observation, team scores and episode record, then starts again at once
 * with the next seed of its sequence (unless autoRestart is 0: it then waits
 * for env_reset or env_reset_match).
 *
 * Results do not depend on the number of threads. Functions returning int32_t
 * return a negative value on bad input and leave the batch unchanged;
 * env_last_error then says why. A null batch is refused the same way.
 */
#ifndef ZIBBER_ENV_H
#define ZIBBER_ENV_H

#include <stdint.h>

#include "zibber.h"

#if defined(_WIN32)
#define ENV_API __declspec(dllexport)
#else
#define ENV_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct env_batch env_batch;

/* What drives a team: its own learning agents, or a built-in bot. */
enum { ENV_LEARNER = -1, ENV_BOT_COLLECTOR = 0, ENV_BOT_HUNTER = 1, ENV_BOT_CHARGER = 2, ENV_BOT_RANDOM = 3 };

/* An action kind that sends nothing: the zibber keeps its last action. */
enum { ENV_KEEP_ACTION = -1 };

/* Features of each observation block; the layout is documented in env/README.md. */
enum {
    ENV_OWN_FEATURES = 18,
    ENV_ZIBBER_FEATURES = 11,
    ENV_POINT_FEATURES = 3,
    ENV_RUBY_FEATURES = 5,
    ENV_OBSTACLE_FEATURES = 6,
    ENV_PROJECTILE_FEATURES = 5
};

typedef struct env_config {
    int32_t numEnvs;
    int32_t numTeams;
    const int32_t* sizes; /* zibbers per team */
    const int32_t* kinds; /* one per zibber (negative: random), or null: all random */
    const int32_t* teams; /* per team: ENV_LEARNER or ENV_BOT_*; null: every team learns */
    /* Observation: nearest neighbours of each sort, and the distance unit. */
    int32_t rivals, mates, points, rubys, obstacles, projectiles;
    double scale;
    double deathPenalty; /* taken from the reward in the step an agent bursts */
    uint32_t maxSteps;   /* agents alive at this tick are truncated */
    int32_t angleBins;   /* 0: actions are (kind, relative angle); B > 0: one index 0 .. 3B-1 */
    int32_t threads;     /* matches are stepped on this many threads (the caller's included) */
    int32_t autoRestart; /* nonzero: an ended match starts again within the same call */
    int32_t playOut;     /* nonzero: the bots play on after every agent is done */
    uint64_t seed;       /* start of every match's seed sequence */
} env_config;

/* What a match left when it ended. */
typedef struct env_episode {
    uint64_t seed;
    uint64_t hash; /* the state hash of the final state, as `zibber play` prints it */
    uint32_t ticks;
    int32_t over; /* 1 when no zibber was left */
} env_episode;

/* Caller-owned outputs, [env][agent] unless said otherwise. The first six are
 * required (the per-agent ones only when there are agents); the last three
 * may be null and are written only for the matches whose ended flag is set. */
typedef struct env_buffers {
    float* observations; /* [env][agent][feature] */
    float* rewards;
    uint8_t* terminated;
    uint8_t* truncated;
    uint8_t* alive;           /* the agent acts in the next step */
    uint8_t* ended;           /* [env]: the match ended in this call */
    float* finalObservations; /* [env][agent][feature] */
    env_episode* episodes;    /* [env] */
    int32_t* teamScores;      /* [env][team] */
} env_buffers;

ENV_API void env_default_config(env_config* out);
/* A null result means a bad configuration; error (if not null) receives why. */
ENV_API env_batch* env_create(const env_config* config, char* error, int32_t errorSize);
ENV_API void env_destroy(env_batch* batch);

ENV_API int32_t env_num_envs(const env_batch* batch);
ENV_API int32_t env_num_agents(const env_batch* batch); /* learning zibbers per match */
ENV_API int32_t env_observation_size(const env_batch* batch);
ENV_API const char* env_last_error(const env_batch* batch);

ENV_API int32_t env_set_buffers(env_batch* batch, const env_buffers* buffers);
/* Starts every match afresh: match e from seeds[e], or from the next seed of
 * its sequence when seeds is null. Writes observations and alive. */
ENV_API int32_t env_reset(env_batch* batch, const uint64_t* seeds);
ENV_API int32_t env_reset_match(env_batch* batch, int32_t index, uint64_t seed);
/* kinds: [env][agent] action kinds (0 walk, 1 tap, 2 hold, ENV_KEEP_ACTION),
 * or discrete indices with angleBins; angles: [env][agent] target headings
 * relative to the zibber's heading, or null with angleBins. Entries of agents
 * that are not alive are ignored. Returns the number of matches that ended. */
ENV_API int32_t env_step(env_batch* batch, const int32_t* kinds, const double* angles);

/* The World of a match, for reading its exports; valid until its next restart. */
ENV_API const zb_world* env_world(const env_batch* batch, int32_t index);

#ifdef __cplusplus
}
#endif

#endif /* ZIBBER_ENV_H */
