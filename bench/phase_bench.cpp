// The hottest phases of a step, each on a World in the middle of a match.
#include <benchmark/benchmark.h>

#include "bench_worlds.h"
#include "core/phases.h"

namespace {

constexpr uint32_t kWarmup = 300;

const zb_world& midMatch(const char* scenario) {
    // Preparing plays hundreds of steps with bots; do it once per scenario.
    static zbbench::PreparedWorld standard = zbbench::prepareWorld("standard", kWarmup, 0);
    static zbbench::PreparedWorld max = zbbench::prepareWorld("max", kWarmup, 0);
    return std::string_view(scenario) == "max" ? max.world : standard.world;
}

// Fifty sub-steps of motion for one zibber. The zibber is restored from a
// copy each time (a few dozen bytes) so it never drifts into the wall.
void updateZibber(benchmark::State& state, const char* scenario) {
    zb_world world = midMatch(scenario);
    size_t index = 0;
    while (index < world.zibbers.size() && !world.zibbers[index].alive) ++index;
    if (index == world.zibbers.size()) {
        state.SkipWithError("no zibber alive");
        return;
    }
    const zb::Zibber saved = world.zibbers[index];
    zb::Zibber zibber = saved;
    for (auto _ : state) {
        zibber = saved;
        world.particles.clear();
        zb::updateZibber(world, zibber);
        benchmark::DoNotOptimize(zibber.x);
    }
}

// Point pickup scans every point against the zibbers. After the first call
// nothing more is in reach, which is the usual case within a step.
void collectPoints(benchmark::State& state, const char* scenario) {
    zb_world world = midMatch(scenario);
    for (auto _ : state) {
        zb::collectPoints(world);
        benchmark::DoNotOptimize(world.points.slots.data());
    }
    state.counters["points"] = static_cast<double>(world.points.live);
}

// Ambient scatter into an arena that has just lost its points, the busiest
// case: a tenth of the shortfall is attempted per call.
void scatterAmbientPoints(benchmark::State& state, const char* scenario) {
    zb_world world = midMatch(scenario);
    zb::initPointField(world.points);
    world.arenaPointCount = 0;
    const zb_world emptied = world;
    for (auto _ : state) {
        state.PauseTiming();
        world.points = emptied.points;
        world.pointIds = emptied.pointIds;
        world.arenaPointCount = emptied.arenaPointCount;
        world.rngState = emptied.rngState;
        state.ResumeTiming();
        zb::scatterAmbientPoints(world);
    }
    state.counters["added"] = static_cast<double>(world.points.live);
}

// Every obstacle pushes every other, one after another. The obstacles and
// their ids are put back each time, so none drifts out.
void moveObstacles(benchmark::State& state, const char* scenario) {
    zb_world world = midMatch(scenario);
    const zb_world saved = world;
    for (auto _ : state) {
        world.obstacles = saved.obstacles;
        world.obstacleIds = saved.obstacleIds;
        zb::moveObstacles(world);
        benchmark::DoNotOptimize(world.obstacles.data());
    }
    state.counters["obstacles"] = static_cast<double>(saved.obstacles.size());
}

// Obstacle spawning searches a thousand candidate spots for the freest one.
void spawnObstacle(benchmark::State& state, const char* scenario) {
    zb_world world = midMatch(scenario);
    const zb_world saved = world;
    for (auto _ : state) {
        state.PauseTiming();
        world.obstacles = saved.obstacles;
        world.obstacleIds = saved.obstacleIds;
        world.rngState = saved.rngState;
        state.ResumeTiming();
        zb::spawnObstacle(world);
    }
}

BENCHMARK_CAPTURE(updateZibber, standard, "standard");
BENCHMARK_CAPTURE(collectPoints, standard, "standard");
BENCHMARK_CAPTURE(collectPoints, max, "max");
BENCHMARK_CAPTURE(scatterAmbientPoints, standard, "standard");
BENCHMARK_CAPTURE(scatterAmbientPoints, max, "max");
BENCHMARK_CAPTURE(moveObstacles, standard, "standard");
BENCHMARK_CAPTURE(moveObstacles, max, "max");
BENCHMARK_CAPTURE(spawnObstacle, standard, "standard");
BENCHMARK_CAPTURE(spawnObstacle, max, "max");

}  // namespace
