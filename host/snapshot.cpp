#include "host/snapshot.h"

namespace zbhost {

namespace {

// Counts are taken right before each export so the buffer always fits.
template <typename Export>
void readArray(const zb_world* world, int32_t count, int width, std::vector<double>& out, Export exportFn) {
    out.resize(static_cast<size_t>(count > 0 ? count : 0) * static_cast<size_t>(width));
    if (count > 0) exportFn(world, out.data());
}

}  // namespace

void readArenaWithoutPoints(const zb_world* world, Snapshot& out) {
    out.tick = zb_tick(world);
    out.mapSize = zb_map_size(world);
    out.isOver = zb_is_over(world);
    out.numZibbers = zb_num_zibbers(world);
    out.numRubys = zb_num_rubys(world);
    out.numObstacles = zb_num_obstacles(world);
    out.numProjectiles = zb_num_projectiles(world);
    readArray(world, out.numZibbers, ZB_ZIBBER_WIDTH, out.zibbers, zb_zibbers);
    readArray(world, out.numRubys, ZB_RUBY_WIDTH, out.rubys, zb_rubys);
    readArray(world, out.numObstacles, ZB_OBSTACLE_WIDTH, out.obstacles, zb_obstacles);
    readArray(world, out.numProjectiles, ZB_PROJECTILE_WIDTH, out.projectiles, zb_projectiles);
}

void readSnapshot(const zb_world* world, Snapshot& out) {
    readArenaWithoutPoints(world, out);
    out.numPoints = zb_num_points(world);
    readArray(world, out.numPoints, ZB_POINT_WIDTH, out.points, zb_points);
    out.numTeams = zb_num_teams(world);
    out.numParticles = zb_num_particles(world);
    out.numRemovals = zb_num_removals(world);
    out.teamScores.resize(static_cast<size_t>(out.numTeams > 0 ? out.numTeams : 0));
    if (out.numTeams > 0) zb_team_scores(world, out.teamScores.data());
    readArray(world, out.numParticles, ZB_PARTICLE_WIDTH, out.particles, zb_particles);
    readArray(world, out.numRemovals, ZB_REMOVAL_WIDTH, out.removals, zb_removals);
}

}  // namespace zbhost
