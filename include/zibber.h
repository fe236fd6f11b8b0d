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

/* Lifecycle. A seed of 0 behaves like 0x9e3779b97f4a7c15. */
ZB_API zb_world *zb_create(uint64_t seed);
ZB_API void zb_destroy(zb_world *world);

/* Replaces all zibbers: count teams of sizes[t] zibbers each, and drops one
 * ruby at the centre. kinds holds one entry per zibber created (negative:
 * random kind) or is null (all random). A negative count, a null sizes with
 * count >= 1, or more zibbers than the id pool can still hand out leave the
 * World unchanged. */
ZB_API void zb_setup(zb_world *world, const int32_t *sizes, int32_t count,
                     const int32_t *kinds);

/* kind 1: tap (dash this step), kind 2: hold (charge until the next action),
 * anything else: walk. value is the target heading in radians; a non-finite
 * value keeps the previous target. Indices out of range are ignored. */
ZB_API void zb_set_action(zb_world *world, int32_t index, int32_t kind,
                          double value);
ZB_API void zb_step(zb_world *world);

ZB_API uint32_t zb_tick(const zb_world *world);
ZB_API double zb_map_size(const zb_world *world);
ZB_API bool zb_is_over(const zb_world *world);

ZB_API int32_t zb_num_teams(const zb_world *world);
ZB_API int32_t zb_num_zibbers(const zb_world *world);
ZB_API int32_t zb_num_points(const zb_world *world);
ZB_API int32_t zb_num_rubys(const zb_world *world);
ZB_API int32_t zb_num_obstacles(const zb_world *world);
ZB_API int32_t zb_num_projectiles(const zb_world *world);
ZB_API int32_t zb_num_particles(const zb_world *world);
ZB_API int32_t zb_num_removals(const zb_world *world);

/* One int32 per team. */
ZB_API void zb_team_scores(const zb_world *world, int32_t *out);

/* zibber: id, x, y, heading, targetHeading, radius, score, vx, vy,
 *         growthRate, kind, chargeTicks, stunTicks, alive */
ZB_API void zb_zibbers(const zb_world *world, double *out);
/* point: id, x, y, ambient */
ZB_API void zb_points(const zb_world *world, double *out);
/* ruby: id, x, y, vx, vy, scale, remaining, cooldown */
ZB_API void zb_rubys(const zb_world *world, double *out);
/* obstacle: id, isCircle, ax, ay, bx, by, radius, hazard, chargeRate, spin,
 *           charge */
ZB_API void zb_obstacles(const zb_world *world, double *out);
/* projectile: id, x, y, vx, vy, removed, radius */
ZB_API void zb_projectiles(const zb_world *world, double *out);
/* particle: kind, x, y, amount, zibberId, contactIdA, contactIdB */
ZB_API void zb_particles(const zb_world *world, double *out);
/* removal: id, x, y */
ZB_API void zb_removals(const zb_world *world, double *out);

#ifdef __cplusplus
}
#endif

#endif /* ZIBBER_H */
