// The phases of a step, one per file, in the order the step driver runs them.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/world.h"

namespace zb {

// Match setup: replaces every zibber, whole or not at all.
void setupMatch(World& world, const int32_t* sizes, int32_t count, const int32_t* kinds);

// Before the zibber loop.
void collectPoints(World& world);
void moveObstacles(World& world);

// The zibber loop.
void updateZibber(World& world, Zibber& zibber);
void updateCharge(World& world, Zibber& zibber, double startSpeed, double aim, double sizeFactor);
// Bursts and kills the zibber when its radius exceeds ZB_BURST_RADIUS.
bool burstIfOversized(World& world, Zibber& zibber);
void burstZibber(World& world, Zibber& zibber);
void collideZibbers(World& world, Zibber& a, Zibber& b, uint32_t indexB);
// The test collideZibbers starts with, inline for the loop over every pair.
inline bool zibbersTouch(const Zibber& a, const Zibber& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double rs = b.radius + a.radius;
    return !(std::fma(dx, dx, dy * dy) > rs * rs);
}

// After the zibber loop.
void updateRubies(World& world);
void moveProjectiles(World& world);
void expireProjectile(World& world, Projectile& projectile);
void resolveObstacleContacts(World& world);
void upkeepArena(World& world);
void scatterAmbientPoints(World& world);

// Spawners.
void spawnPoint(World& world, uint8_t ambient, double x, double y);
void spawnObstacle(World& world);
// How far (x, y) is from the rim, every living zibber and every obstacle.
double clearanceAt(const World& world, double x, double y);
// The same, for spots tried in turn: the shapes of the living zibbers and of
// the obstacles, gathered once, then each spot's clearance when it is above
// floor, otherwise some value at or below floor, or NaN, found with less work.
// rimAtMost, if given, is at least the spot's rim term (mapSize - hypot(x, y)).
void gatherClearanceShapes(const World& world, ClearanceShapes& shapes);
double clearanceAbove(const World& world, ClearanceShapes& shapes, double x, double y, double floor,
                      double rimAtMost = HUGE_VAL);

// The whole step.
void stepWorld(World& world);

}  // namespace zb
