#include <cmath>
#include <cstdint>

#include "core/phases.h"

namespace zb {
namespace {

constexpr double kObstacleDensity = 0.0037699111843077513;
constexpr int32_t kShrinkStartClock = 240;
constexpr int32_t kShrinkEndClock = 7199;

void topUpObstacles(World& world) {
    const double r = world.mapSize;
    const double wanted = std::fma(r * kObstacleDensity, r, -1.0);
    if (wanted > static_cast<double>(world.obstacles.size())) spawnObstacle(world);
}

// A team's score is the best any member has ever had, dead members included.
void raiseTeamScores(World& world) {
    for (int32_t t = 0; t < world.teamCount; ++t) {
        int32_t s = world.teamScores[static_cast<size_t>(t)];
        for (uint32_t i : world.teamMembers[static_cast<size_t>(t)]) {
            const int32_t score = world.zibbers[i].score;
            if (score > s) s = score;
        }
        world.teamScores[static_cast<size_t>(t)] = s;
    }
}

int32_t countAlive(const World& world) {
    int32_t alive = 0;
    for (const Zibber& z : world.zibbers) alive += z.alive == 1;
    return alive;
}

// The radius follows the larger of the scheduled target and the present radius
// less a spread rate; deaths bring the target forward and speed the rate up.
void shrinkArena(World& world, int32_t clock) {
    const double r = world.mapSize;
    const double r2 = r * r;
    const double alive = static_cast<double>(countAlive(world));
    const double dead = 1.0 - alive / static_cast<double>(world.startZibberCount);
    const double timeFraction = static_cast<double>(clock - 239) / 6960.0;
    int32_t rem = kShrinkEndClock - clock;
    if (rem < 1) rem = 1;
    double p = dead < timeFraction ? timeFraction : dead;
    p = std::fmax(std::fmin(p, 1.0), 0.0);  // NaN becomes 1
    const double targetR2 = std::fma(p, -4389.0, 4489.0);
    const double maxStep = std::fma(-(r + (-0.1)), r + (-0.1), r2);
    const double rate = (r2 + (-100.0)) / static_cast<double>(rem) * (dead > timeFraction ? 5.0 : 1.0);
    const double step = rate < maxStep ? rate : maxStep;
    const double v = r2 - step;
    world.mapSize = std::sqrt(targetR2 < v ? v : targetR2);
}

}  // namespace

void upkeepArena(World& world) {
    scatterAmbientPoints(world);
    topUpObstacles(world);
    raiseTeamScores(world);
    const int32_t clock = world.shrinkClock;
    // Wraps instead of overflowing after 2^31 steps; the arena has long
    // settled at its final radius by then.
    world.shrinkClock = static_cast<int32_t>(static_cast<uint32_t>(clock) + 1u);
    if (clock >= kShrinkStartClock) shrinkArena(world, clock);
    if (countAlive(world) == 0) world.isOver = 1;
}

}  // namespace zb
