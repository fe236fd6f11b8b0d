// One whole step per scenario, with the bots' actions recorded beforehand.
#include <benchmark/benchmark.h>

#include "bench_worlds.h"

namespace {

constexpr uint32_t kWarmup = 200;
constexpr uint32_t kPlanSteps = 200;

void wholeStep(benchmark::State& state, const char* scenario) {
    const zbbench::PreparedWorld prepared = zbbench::prepareWorld(scenario, kWarmup, kPlanSteps);
    if (prepared.plan.empty()) {
        state.SkipWithError("the match ended during the warm-up");
        return;
    }
    zb_world world = prepared.world;
    size_t next = 0;
    for (auto _ : state) {
        if (next == prepared.plan.size()) {
            // Start the recorded stretch again from the same state.
            state.PauseTiming();
            world = prepared.world;
            next = 0;
            state.ResumeTiming();
        }
        for (const zbhost::ActionCall& a : prepared.plan[next]) zb_set_action(&world, a.index, a.kind, a.value);
        zb_step(&world);
        ++next;
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(wholeStep, duel, "duel");
BENCHMARK_CAPTURE(wholeStep, standard, "standard");
BENCHMARK_CAPTURE(wholeStep, crowd, "crowd");
BENCHMARK_CAPTURE(wholeStep, max, "max");

}  // namespace
