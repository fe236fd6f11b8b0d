#include <zibber.h>

#include "core/world.h"

namespace zb {
namespace {

double flag(uint8_t f) { return f ? 1.0 : 0.0; }

template <typename Record, typename Write>
void exportArray(const std::vector<Record>& records, double* out, Write write) {
    if (out == nullptr) return;
    for (const Record& r : records) out = write(r, out);
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
int32_t zb_num_points(const zb_world* world) {
    return zb::countOf(world, [](const zb_world& w) { return w.points.size(); });
}
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
        o[0] = z.id;
        o[1] = z.x;
        o[2] = z.y;
        o[3] = z.heading;
        o[4] = z.targetHeading;
        o[5] = z.radius;
        o[6] = z.score;
        o[7] = z.vx;
        o[8] = z.vy;
        o[9] = z.growthRate;
        o[10] = z.kind;
        o[11] = z.chargeTicks;
        o[12] = z.stunTicks;
        o[13] = flag(z.alive);
        return o + ZB_ZIBBER_WIDTH;
    });
}

void zb_points(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->points, out, [](const zb::Point& p, double* o) {
        o[0] = p.id;
        o[1] = p.x;
        o[2] = p.y;
        o[3] = flag(p.ambient);
        return o + ZB_POINT_WIDTH;
    });
}

void zb_rubys(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->rubies, out, [](const zb::Ruby& r, double* o) {
        o[0] = r.id;
        o[1] = r.x;
        o[2] = r.y;
        o[3] = r.vx;
        o[4] = r.vy;
        o[5] = r.scale;
        o[6] = r.remaining;
        o[7] = r.cooldown;
        return o + ZB_RUBY_WIDTH;
    });
}

void zb_obstacles(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->obstacles, out, [](const zb::Obstacle& b, double* o) {
        o[0] = b.id;
        o[1] = flag(b.isCircle);
        o[2] = b.ax;
        o[3] = b.ay;
        o[4] = b.bx;
        o[5] = b.by;
        o[6] = b.radius;
        o[7] = flag(b.hazard);
        o[8] = b.chargeRate;
        o[9] = b.spin;
        o[10] = b.charge;
        return o + ZB_OBSTACLE_WIDTH;
    });
}

void zb_projectiles(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->projectiles, out, [](const zb::Projectile& p, double* o) {
        o[0] = p.id;
        o[1] = p.x;
        o[2] = p.y;
        o[3] = p.vx;
        o[4] = p.vy;
        o[5] = flag(p.removed);
        o[6] = p.radius;
        return o + ZB_PROJECTILE_WIDTH;
    });
}

void zb_particles(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->particles, out, [](const zb::Particle& p, double* o) {
        o[0] = p.kind;
        o[1] = p.x;
        o[2] = p.y;
        o[3] = p.amount;
        o[4] = p.zibberId;
        o[5] = p.contactIdA;
        o[6] = p.contactIdB;
        return o + ZB_PARTICLE_WIDTH;
    });
}

void zb_removals(const zb_world* world, double* out) {
    if (world == nullptr) return;
    zb::exportArray(world->removals, out, [](const zb::Removal& r, double* o) {
        o[0] = r.id;
        o[1] = r.x;
        o[2] = r.y;
        return o + ZB_REMOVAL_WIDTH;
    });
}

}  // extern "C"
