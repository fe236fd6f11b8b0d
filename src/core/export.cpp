#include <zibber.h>

#include <cstddef>
#include <cstring>

#include "core/hot.h"
#include "core/world.h"

namespace zb {
namespace {

double flag(uint8_t f) { return f ? 1.0 : 0.0; }

template <typename Record, typename Write>
void exportArray(const std::vector<Record>& records, double* out, Write write) {
    if (out == nullptr) return;
    for (const Record& r : records) out = write(r, out);
}

// The busiest export (every point, every step): x and y are adjacent in both
// records, so they go as one pair; the clone with VEX encodings converts the
// id and the flag without clearing a register first.
ZB_HOT void copyPoints(const PointField& points, double* out) {
    static_assert(offsetof(Point, y) == offsetof(Point, x) + sizeof(double) && ZB_POINT_Y == ZB_POINT_X + 1);
    for (const PointSlot& s : points.slots) {
        if (s.removed != 0) continue;
        out[ZB_POINT_ID] = s.point.id;
        std::memcpy(out + ZB_POINT_X, &s.point.x, 2 * sizeof(double));
        // Looked up, not chosen: ambient and dropped points interleave, and a
        // branch here would guess wrong at every change.
        static constexpr double kFlags[2] = {0.0, 1.0};
        out[ZB_POINT_AMBIENT] = kFlags[s.point.ambient != 0];
        out += ZB_POINT_WIDTH;
    }
}

int32_t countOf(const zb_world* world, size_t (*size)(const zb_world&)) {
    return world != nullptr ? static_cast<int32_t>(size(*world)) : 0;
}

}  // namespace
}  // namespace zb

using zb::flag;

extern "C" {

uint32_t zb_tick(const zb_world* world) { return world != nullptr ? world->tick : 0; }
double zb_map_size(const zb_world* world) { return world != nullptr ? world->mapSize : 0.0; }
bool zb_is_over(const zb_world* world) { return world != nullptr && world->isOver != 0; }

int32_t zb_num_teams(const zb_world* world) { return world != nullptr ? world->teamCount : 0; }
int32_t zb_num_zibbers(const zb_world* world) { return world != nullptr ? world->zibberCount : 0; }
int32_t zb_num_points(const zb_world* world) { return world != nullptr ? static_cast<int32_t>(world->points.live) : 0; }
int32_t zb_num_rubys(const zb_world* world) {
    return zb::countOf(world, [](const zb_world& w) { return w.rubies.size(); });
}
int32_t zb_num_obstacles(const zb_world* world) {
    return zb::countOf(world, [](const zb_world& w) { return w.obstacles.size(); });
}
int32_t zb_num_projectiles(const zb_world* world) {
    return zb::countOf(world, [](const zb_world& w) { return w.projectiles.size(); });
}
int32_t zb_num_particles(const zb_world* world) {
    return zb::countOf(world, [](const zb_world& w) { return w.particles.size(); });
}
int32_t zb_num_removals(const zb_world* world) {
    return zb::countOf(world, [](const zb_world& w) { return w.removals.size(); });
}

void zb_team_scores(const zb_world* world, int32_t* out) {
    if (world == nullptr || out == nullptr) return;
    for (int32_t score : world->teamScores) *out++ = score;
}

void zb_zibbers(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->zibbers, out, [](const zb::Zibber& z, double* o) {
        o[ZB_ZIBBER_ID] = z.id;
        o[ZB_ZIBBER_X] = z.x;
        o[ZB_ZIBBER_Y] = z.y;
        o[ZB_ZIBBER_HEADING] = z.heading;
        o[ZB_ZIBBER_TARGET_HEADING] = z.targetHeading;
        o[ZB_ZIBBER_RADIUS] = z.radius;
        o[ZB_ZIBBER_SCORE] = z.score;
        o[ZB_ZIBBER_VX] = z.vx;
        o[ZB_ZIBBER_VY] = z.vy;
        o[ZB_ZIBBER_GROWTH_RATE] = z.growthRate;
        o[ZB_ZIBBER_KIND] = z.kind;
        o[ZB_ZIBBER_CHARGE_TICKS] = z.chargeTicks;
        o[ZB_ZIBBER_STUN_TICKS] = z.stunTicks;
        o[ZB_ZIBBER_ALIVE] = flag(z.alive);
        return o + ZB_ZIBBER_WIDTH;
    });
}

void zb_points(const zb_world* world, double* out) {
    if (world == nullptr || out == nullptr) return;
    zb::copyPoints(world->points, out);
}

void zb_rubys(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->rubies, out, [](const zb::Ruby& r, double* o) {
        o[ZB_RUBY_ID] = r.id;
        o[ZB_RUBY_X] = r.x;
        o[ZB_RUBY_Y] = r.y;
        o[ZB_RUBY_VX] = r.vx;
        o[ZB_RUBY_VY] = r.vy;
        o[ZB_RUBY_SCALE] = r.scale;
        o[ZB_RUBY_REMAINING] = r.remaining;
        o[ZB_RUBY_COOLDOWN] = r.cooldown;
        return o + ZB_RUBY_WIDTH;
    });
}

void zb_obstacles(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->obstacles, out, [](const zb::Obstacle& b, double* o) {
        o[ZB_OBSTACLE_ID] = b.id;
        o[ZB_OBSTACLE_IS_CIRCLE] = flag(b.isCircle);
        o[ZB_OBSTACLE_AX] = b.ax;
        o[ZB_OBSTACLE_AY] = b.ay;
        o[ZB_OBSTACLE_BX] = b.bx;
        o[ZB_OBSTACLE_BY] = b.by;
        o[ZB_OBSTACLE_RADIUS] = b.radius;
        o[ZB_OBSTACLE_HAZARD] = flag(b.hazard);
        o[ZB_OBSTACLE_CHARGE_RATE] = b.chargeRate;
        o[ZB_OBSTACLE_SPIN] = b.spin;
        o[ZB_OBSTACLE_CHARGE] = b.charge;
        return o + ZB_OBSTACLE_WIDTH;
    });
}

void zb_projectiles(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->projectiles, out, [](const zb::Projectile& p, double* o) {
        o[ZB_PROJECTILE_ID] = p.id;
        o[ZB_PROJECTILE_X] = p.x;
        o[ZB_PROJECTILE_Y] = p.y;
        o[ZB_PROJECTILE_VX] = p.vx;
        o[ZB_PROJECTILE_VY] = p.vy;
        o[ZB_PROJECTILE_REMOVED] = flag(p.removed);
        o[ZB_PROJECTILE_RADIUS] = p.radius;
        return o + ZB_PROJECTILE_WIDTH;
    });
}

void zb_particles(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->particles, out, [](const zb::Particle& p, double* o) {
        o[ZB_PARTICLE_KIND] = p.kind;
        o[ZB_PARTICLE_X] = p.x;
        o[ZB_PARTICLE_Y] = p.y;
        o[ZB_PARTICLE_AMOUNT] = p.amount;
        o[ZB_PARTICLE_ZIBBER_ID] = p.zibberId;
        o[ZB_PARTICLE_CONTACT_ID_A] = p.contactIdA;
        o[ZB_PARTICLE_CONTACT_ID_B] = p.contactIdB;
        return o + ZB_PARTICLE_WIDTH;
    });
}

void zb_removals(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->removals, out, [](const zb::Removal& r, double* o) {
        o[ZB_REMOVAL_ID] = r.id;
        o[ZB_REMOVAL_X] = r.x;
        o[ZB_REMOVAL_Y] = r.y;
        return o + ZB_REMOVAL_WIDTH;
    });
}

}  // extern "C"
