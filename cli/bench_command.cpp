#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "host/match.h"
#include "options.h"

namespace zbhost {

namespace {

struct Measurement {
    size_t steps = 0;
    double medianSeconds = 0.0;
    double medianCpuSeconds = 0.0;  // steadier than wall time on a busy machine
};

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The bots play once untimed; the timed runs only send the actions they
// chose and step, so the figures are the library's alone.
Measurement measure(const Scenario& scenario, uint32_t steps, uint32_t repeats) {
    MatchSetup setup = scenarioSetup(scenario);
    setup.maxSteps = steps;
    std::vector<std::vector<ActionCall>> plan;
    MatchHooks hooks;
    hooks.plan = &plan;
    playMatch(setup, hooks);

    std::vector<double> seconds;
    std::vector<double> cpu;
    for (uint32_t r = 0; r < repeats; ++r) {
        WorldHandle world(zb_create(setup.seed));
        zb_setup(world.get(), setup.sizes.data(), static_cast<int32_t>(setup.sizes.size()), setup.kinds.data());
        double cpuStart = cpuSeconds();
        auto start = std::chrono::steady_clock::now();
        for (const std::vector<ActionCall>& actions : plan) {
            for (const ActionCall& a : actions) zb_set_action(world.get(), a.index, a.kind, a.value);
            zb_step(world.get());
        }
        auto stop = std::chrono::steady_clock::now();
        cpu.push_back(cpuSeconds() - cpuStart);
        seconds.push_back(std::chrono::duration<double>(stop - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpu.begin(), cpu.end());
    return {plan.size(), seconds[seconds.size() / 2], cpu[cpu.size() / 2]};
}

}  // namespace

int runBench(int argc, char** argv) {
    static constexpr OptionSpec kSpecs[] = {{"steps", true}, {"repeats", true}};
    uint32_t steps = 2000;
    uint32_t repeats = 5;
    auto take = [&](size_t option, const char* value, std::string& error) {
        return option == 0 ? parseCountOption(value, "--steps", 1, steps, error)
                           : parseCountOption(value, "--repeats", 1, repeats, error);
    };
    std::vector<std::string> positional;
    std::string error;
    if (!walkArguments(argc, argv, kSpecs, take, positional, error)) return badInput(error);
    std::vector<const Scenario*> chosen;
    for (const std::string& name : positional) {
        auto found = std::find_if(benchScenarios().begin(), benchScenarios().end(),
                                  [&](const Scenario& s) { return name == s.name; });
        if (found == benchScenarios().end())
            return badInput("unknown scenario '" + name + "' (duel, standard, crowd, max)");
        chosen.push_back(&*found);
    }
    if (chosen.empty())
        for (const Scenario& s : benchScenarios()) chosen.push_back(&s);

    std::printf("scenario  zibbers  steps  repeats   us/step     steps/s  cpu us/step\n");
    for (const Scenario* scenario : chosen) {
        Measurement m = measure(*scenario, steps, repeats);
        int zibbers = 0;
        for (int32_t size : scenario->sizes) zibbers += size;
        double steps = m.steps ? static_cast<double>(m.steps) : 1.0;
        double perStep = m.medianSeconds / steps;
        std::printf("%-8s  %7d  %5zu  %7u  %8.2f  %10.0f  %11.2f\n", scenario->name, zibbers, m.steps, repeats,
                    perStep * 1e6, perStep > 0 ? 1.0 / perStep : 0.0, m.medianCpuSeconds / steps * 1e6);
        std::fflush(stdout);
    }
    return kExitOk;
}

}  // namespace zbhost
