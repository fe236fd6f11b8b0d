/*
 * libzibber: a headless, deterministic team battle in a circular arena.
 *
 * A host creates a World from a seed, sets up teams, gives actions, steps,
 * and reads the state back as flat arrays of doubles. The same calls give the
 * same exports, bit for bit.
 *
 * Every function accepts a null World handle: reads then return 0, 0.0 or
 * false and the others do nothing. Array exports write W doubles per element
 * (see the widths below) for as many elements as the matching zb_num_*
 * function reports; size the buffer from that count, taken after the last
 * zb_step. A null output buffer is never written.
 */
#ifndef ZIBBER_H
#define ZIBBER_H

/* The library's version. It is written only here: CMake reads these lines,
 * and a test holds the Python package and CHANGELOG.md to the same number. */
#define ZB_VERSION_MAJOR 0
#define ZB_VERSION_MINOR 2
#define ZB_VERSION_PATCH 0
#define ZB_VERSION_STRING "0.2.0"

#include <stdbool.h>
#include <stdint.h>

#if defined(_WIN32)
#define ZB_API __declspec(dllexport)
#else
#define ZB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct zb_world zb_world;

/* Doubles per element of each array export. */
enum {
    ZB_ZIBBER_WIDTH = 14,
    ZB_POINT_WIDTH = 4,
    ZB_RUBY_WIDTH = 8,
    ZB_OBSTACLE_WIDTH = 11,
    ZB_PROJECTILE_WIDTH = 7,
    ZB_PARTICLE_WIDTH = 7,
    ZB_REMOVAL_WIDTH = 3
};

/* Column of each field inside one exported element. Flags are 0.0 or 1.0. */
enum {
    ZB_ZIBBER_ID = 0,
    ZB_ZIBBER_X = 1,
    ZB_ZIBBER_Y = 2,
    ZB_ZIBBER_HEADING = 3,
    ZB_ZIBBER_TARGET_HEADING = 4,
    ZB_ZIBBER_RADIUS = 5,
    ZB_ZIBBER_SCORE = 6,
    ZB_ZIBBER_VX = 7,
    ZB_ZIBBER_VY = 8,
    ZB_ZIBBER_GROWTH_RATE = 9,
    ZB_ZIBBER_KIND = 10,
    ZB_ZIBBER_CHARGE_TICKS = 11, /* -1 while not charging */
    ZB_ZIBBER_STUN_TICKS = 12,
    ZB_ZIBBER_ALIVE = 13
};
enum {
    ZB_POINT_ID = 0,
    ZB_POINT_X = 1,
    ZB_POINT_Y = 2,
    ZB_POINT_AMBIENT = 3 /* scattered by the arena, not dropped by a burst or a shot */
};
enum {
    ZB_RUBY_ID = 0,
    ZB_RUBY_X = 1,
    ZB_RUBY_Y = 2,
    ZB_RUBY_VX = 3,
    ZB_RUBY_VY = 4,
    ZB_RUBY_SCALE = 5, /* the ruby's radius is scale * remaining */
    ZB_RUBY_REMAINING = 6,
    ZB_RUBY_COOLDOWN = 7
};
enum {
    ZB_OBSTACLE_ID = 0,
    ZB_OBSTACLE_IS_CIRCLE = 1, /* disc around A, else segment A-B thickened by radius */
    ZB_OBSTACLE_AX = 2,
    ZB_OBSTACLE_AY = 3,
    ZB_OBSTACLE_BX = 4,
    ZB_OBSTACLE_BY = 5,
    ZB_OBSTACLE_RADIUS = 6,
    ZB_OBSTACLE_HAZARD = 7,
    ZB_OBSTACLE_CHARGE_RATE = 8,
    ZB_OBSTACLE_SPIN = 9,
    ZB_OBSTACLE_CHARGE = 10
};
enum {
    ZB_PROJECTILE_ID = 0,
    ZB_PROJECTILE_X = 1,
    ZB_PROJECTILE_Y = 2,
    ZB_PROJECTILE_VX = 3,
    ZB_PROJECTILE_VY = 4,
    ZB_PROJECTILE_REMOVED = 5,
    ZB_PROJECTILE_RADIUS = 6
};
enum {
    ZB_PARTICLE_KIND = 0,
    ZB_PARTICLE_X = 1,
    ZB_PARTICLE_Y = 2,
    ZB_PARTICLE_AMOUNT = 3,    /* the radius change the event eventually causes */
    ZB_PARTICLE_ZIBBER_ID = 4, /* -1 when none */
    ZB_PARTICLE_CONTACT_ID_A = 5,
    ZB_PARTICLE_CONTACT_ID_B = 6
};
enum { ZB_REMOVAL_ID = 0, ZB_REMOVAL_X = 1, ZB_REMOVAL_Y = 2 };

/* Action kinds of zb_set_action; any other kind walks. */
enum {
    ZB_ACTION_WALK = 0,
    ZB_ACTION_TAP = 1, /* a short dash this step */
    ZB_ACTION_HOLD = 2 /* charge until the next action */
};

/* Zibber kinds: what holding (charging) does. */
enum {
    ZB_KIND_DASHER = 0,  /* the release is a long dash, by itself at full charge */
    ZB_KIND_BRACER = 1,  /* swells less in collisions while charging, turns slower */
    ZB_KIND_SHOOTER = 2, /* a release after ZB_SHOT_CHARGE steps fires a stunning shot */
    ZB_KIND_TURNER = 3,  /* turns faster while charging */
    ZB_KIND_COUNT = 4    /* setup draws one of these four for a negative kind */
};

/* Particle kinds. */
enum {
    ZB_PARTICLE_BITE = 0,       /* a ruby bitten */
    ZB_PARTICLE_FINAL_BITE = 1, /* the bite that used the ruby up */
    ZB_PARTICLE_SIZE_CHANGE = 2 /* a wall hit, a hazard hit or a collision */
};

/* A zibber whose radius exceeds this bursts. */
#define ZB_BURST_RADIUS 4.0
/* Steps a shooter must hold before its release fires. */
#define ZB_SHOT_CHARGE 50
/* Steps a shot keeps the zibbers it hits stunned. */
#define ZB_STUN_TICKS 24
/* A zibber walks at this speed (times its size factor) when not gliding. */
#define ZB_WALK_SPEED 0.35
/* A tap dash, and a dasher's charge, start only below this glide speed;
 * walking fades out as the glide speed reaches it. */
#define ZB_DASH_SPEED_LIMIT 0.11
/* Distance a shot flies per step. */
#define ZB_SHOT_SPEED 0.7
/* Points this far beyond the arena's rim are removed. */
#define ZB_POINT_CULL_MARGIN 1.5
/* The arena's radius when a World is created; it later shrinks. */
#define ZB_START_MAP_SIZE 67.0
/* The most zibbers a World's id pool holds, over all its setups. */
#define ZB_MAX_ZIBBERS 251
/* How much a wall hit and a hazard hit eventually swell a zibber: the amount
 * of their size-change particles (up to the last bits). */
#define ZB_WALL_HIT_GROWTH 0.3
#define ZB_HAZARD_HIT_GROWTH 0.2

/* Lifecycle. A seed of 0 behaves like 0x9e3779b97f4a7c15. */
ZB_API zb_world* zb_create(uint64_t seed);
ZB_API void zb_destroy(zb_world* world);

/* Replaces all zibbers: count teams of sizes[t] zibbers each, and drops one
 * ruby at the centre. kinds holds one entry per zibber created (negative:
 * random kind) or is null (all random). A negative count, a null sizes with
 * count >= 1, or more zibbers than the id pool can still hand out leave the
 * World unchanged. */
ZB_API void zb_setup(zb_world* world, const int32_t* sizes, int32_t count, const int32_t* kinds);

/* kind: one of the ZB_ACTION_* values above. value is the target heading in radians; a non-finite
 * value keeps the previous target. Indices out of range are ignored. */
ZB_API void zb_set_action(zb_world* world, int32_t index, int32_t kind, double value);
ZB_API void zb_step(zb_world* world);

ZB_API uint32_t zb_tick(const zb_world* world);
ZB_API double zb_map_size(const zb_world* world);
ZB_API bool zb_is_over(const zb_world* world);

ZB_API int32_t zb_num_teams(const zb_world* world);
ZB_API int32_t zb_num_zibbers(const zb_world* world);
ZB_API int32_t zb_num_points(const zb_world* world);
ZB_API int32_t zb_num_rubys(const zb_world* world);
ZB_API int32_t zb_num_obstacles(const zb_world* world);
ZB_API int32_t zb_num_projectiles(const zb_world* world);
ZB_API int32_t zb_num_particles(const zb_world* world);
ZB_API int32_t zb_num_removals(const zb_world* world);

/* One int32 per team. */
ZB_API void zb_team_scores(const zb_world* world, int32_t* out);

/* Array exports: the columns of each element are the ZB_<EXPORT>_* values. */
ZB_API void zb_zibbers(const zb_world* world, double* out);
ZB_API void zb_points(const zb_world* world, double* out);
ZB_API void zb_rubys(const zb_world* world, double* out);
ZB_API void zb_obstacles(const zb_world* world, double* out);
ZB_API void zb_projectiles(const zb_world* world, double* out);
ZB_API void zb_particles(const zb_world* world, double* out);
ZB_API void zb_removals(const zb_world* world, double* out);

#ifdef __cplusplus
}
#endif

#endif /* ZIBBER_H */
