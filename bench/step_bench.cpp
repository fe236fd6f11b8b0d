// Whole steps per scenario, with the bots' actions recorded beforehand; the
// cost against the number of points; and independent Worlds on threads.
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench_worlds.h"
#include "core/phases.h"
#include "core/random_disc.h"

namespace {

constexpr uint32_t kWarmup = 200;
constexpr uint32_t kPlanSteps = 200;

// Steps `world` through the recorded stretch, again and again from `start`.
void replay(benchmark::State& state, const zbbench::PreparedWorld& prepared, const zb_world& start) {
    zb_world world = start;
    size_t next = 0;
    for (auto _ : state) {
        if (next == prepared.plan.size()) {
            state.PauseTiming();
            world = start;
            next = 0;
            state.ResumeTiming();
        }
        for (const zbhost::ActionCall& a : prepared.plan[next]) zb_set_action(&world, a.index, a.kind, a.value);
        zb_step(&world);
        ++next;
    }
    state.SetItemsProcessed(state.iterations());
}

void wholeStep(benchmark::State& state, const char* scenario) {
    const zbbench::PreparedWorld prepared = zbbench::prepareWorld(scenario, kWarmup, kPlanSteps);
    if (prepared.plan.empty()) {
        state.SkipWithError("the match ended during the warm-up");
        return;
    }
    replay(state, prepared, prepared.world);
}

// The standard match with its points replaced by `points` spread uniformly
// over the arena (and the ambient count set so the arena adds none), to show
// how a step's cost grows with the point field.
void pointField(benchmark::State& state) {
    const zbbench::PreparedWorld prepared = zbbench::prepareWorld("standard", kWarmup, kPlanSteps);
    zb_world start = prepared.world;
    zb::initPointField(start.points);
    zb::resetPool(start.pointIds, 65535);
    uint64_t seed = 12345;
    const double r = start.mapSize;
    for (int64_t i = 0; i < state.range(0); ++i) {
        const zb::DiscDraw d = {zb::drawUniform(seed), r * std::sqrt(zb::drawUniform(seed))};
        const zb::Offset o = zb::discOffset(d);
        zb::spawnPoint(start, 1, o.x, o.y);
    }
    start.arenaPointCount = 1 << 30;
    replay(state, prepared, start);
    state.counters["points"] = static_cast<double>(state.range(0));
}

// Independent Worlds, one per thread: the library shares nothing between
// Worlds, so steps per second should grow with the threads.
void manyWorlds(benchmark::State& state) {
    static const zbbench::PreparedWorld prepared = zbbench::prepareWorld("standard", kWarmup, kPlanSteps);
    replay(state, prepared, prepared.world);
}

BENCHMARK_CAPTURE(wholeStep, duel, "duel");
BENCHMARK_CAPTURE(wholeStep, standard, "standard");
BENCHMARK_CAPTURE(wholeStep, crowd, "crowd");
BENCHMARK_CAPTURE(wholeStep, max, "max");
BENCHMARK(pointField)->Arg(0)->Arg(500)->Arg(5000)->Arg(50000);
BENCHMARK(manyWorlds)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace
