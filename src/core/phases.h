// The phases of a step, one per file, in the order the step driver runs them.
#pragma once

#include <cstdint>

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
double clearanceAt(const World& world, double x, double y);

// The whole step.
void stepWorld(World& world);

}  // namespace zb
