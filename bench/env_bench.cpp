// Env steps per second of env_step against bare zb_step on matches of the same
// line-up and action mix, in interleaved rounds. Rates are from the median
// round; a ratio is the median over rounds of the bare round's time over the
// env round's beside it, which a shared, noisy machine disturbs less than
// comparing the best round of each. The last column compares process CPU time
// instead of wall time: a run that waits for a core loses wall time but no
// CPU time.
//
//   env_bench [sizes, e.g. 2,2] [matches] [steps per round] [rounds] [threads...]
#include <zibber_env.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "host/random.h"
#include "host/world_handle.h"

namespace {

constexpr int kWarmup = 60;  // the first steps scatter the arena's points and cost more
constexpr int kActionSets = 97;
constexpr uint32_t kMaxSteps = 4000;  // env_default_config's
constexpr uint64_t kSeed = 1;         // env_default_config's

struct Actions {
    std::vector<std::vector<int32_t>> kinds;
    std::vector<std::vector<double>> angles;
};

Actions drawActions(size_t count) {
    zbhost::SplitMix64 rng{7};
    Actions a;
    for (int s = 0; s < kActionSets; ++s) {
        a.kinds.emplace_back(count);
        a.angles.emplace_back(count);
        for (size_t i = 0; i < count; ++i) {
            a.kinds.back()[i] = static_cast<int32_t>(zbhost::nextBits(rng) % 3);
            a.angles.back()[i] = (zbhost::nextUniform(rng) * 2.0 - 1.0) * std::numbers::pi;
        }
    }
    return a;
}

// The host a bare World needs: headings read back to turn the relative angles
// into targets, zb_set_action for every live zibber, zb_step; a match that
// ends restarts from the next seed of the same sequence env_step uses. So
// both play the very same matches, bit for bit.
struct Bare {
    std::vector<int32_t> sizes;
    std::vector<zbhost::WorldHandle> worlds;
    std::vector<zbhost::SplitMix64> seeds;
    const Actions* actions;
    std::vector<double> zibbers;
    int n = 0;

    void start(size_t e) {
        worlds[e].reset(zb_create(zbhost::nextBits(seeds[e])));
        zb_setup(worlds[e].get(), sizes.data(), static_cast<int32_t>(sizes.size()), nullptr);
    }
    void run(int steps) {
        const auto agents = static_cast<size_t>(zb_num_zibbers(worlds[0].get()));
        zibbers.resize(agents * ZB_ZIBBER_WIDTH);
        for (int s = 0; s < steps; ++s, ++n) {
            const std::vector<int32_t>& kinds = actions->kinds[static_cast<size_t>(n % kActionSets)];
            const std::vector<double>& angles = actions->angles[static_cast<size_t>(n % kActionSets)];
            for (size_t e = 0; e < worlds.size(); ++e) {
                zb_world* w = worlds[e].get();
                zb_zibbers(w, zibbers.data());
                for (size_t a = 0; a < agents; ++a)
                    if (zibbers[a * ZB_ZIBBER_WIDTH + ZB_ZIBBER_ALIVE] == 1.0)
                        zb_set_action(w, static_cast<int32_t>(a), kinds[e * agents + a],
                                      zibbers[a * ZB_ZIBBER_WIDTH + ZB_ZIBBER_HEADING] + angles[e * agents + a]);
                zb_step(w);
                if (zb_is_over(w) || zb_tick(w) >= kMaxSteps) start(e);
            }
        }
    }
};

struct Env {
    env_batch* batch = nullptr;
    const Actions* actions;
    std::vector<float> obs, rewards;
    std::vector<uint8_t> term, trunc, alive, ended;
    int n = 0;

    void run(int steps) {
        for (int s = 0; s < steps; ++s, ++n)
            env_step(batch, actions->kinds[static_cast<size_t>(n % kActionSets)].data(),
                     actions->angles[static_cast<size_t>(n % kActionSets)].data());
    }
};

std::vector<int32_t> parseSizes(const std::string& text) {
    std::vector<int32_t> sizes;
    for (size_t at = 0; at <= text.size();) {
        size_t comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        sizes.push_back(std::atoi(text.substr(at, comma - at).c_str()));
        at = comma + 1;
    }
    return sizes;
}

// CPU seconds of every thread of the process so far.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int32_t> sizes = parseSizes(argc > 1 ? argv[1] : "2,2");
    const int32_t matches = argc > 2 ? std::atoi(argv[2]) : 64;
    const int steps = argc > 3 ? std::atoi(argv[3]) : 200;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 5;
    std::vector<int32_t> threads;
    for (int i = 5; i < argc; ++i) threads.push_back(std::atoi(argv[i]));
    if (threads.empty()) threads = {1, 2};

    int32_t agents = 0;
    for (int32_t s : sizes) agents += s;
    const Actions actions = drawActions(static_cast<size_t>(matches * agents));

    Bare bare{sizes, {}, {}, &actions, {}};
    bare.worlds.resize(static_cast<size_t>(matches));
    for (int32_t e = 0; e < matches; ++e) {
        // As env_create starts each match's sequence.
        zbhost::SplitMix64 mix{kSeed + 0x632be59bd9b4e019ull * static_cast<uint64_t>(e + 1)};
        bare.seeds.push_back({zbhost::nextBits(mix)});
        bare.start(static_cast<size_t>(e));
    }
    std::vector<Env> envs(threads.size());
    for (size_t t = 0; t < threads.size(); ++t) {
        env_config c;
        env_default_config(&c);
        c.numEnvs = matches;
        c.numTeams = static_cast<int32_t>(sizes.size());
        c.sizes = sizes.data();
        c.threads = threads[t];
        Env& e = envs[t];
        e.batch = env_create(&c, nullptr, 0);
        e.actions = &actions;
        const auto rows = static_cast<size_t>(matches * agents);
        e.obs.resize(rows * static_cast<size_t>(env_observation_size(e.batch)));
        e.rewards.resize(rows);
        e.term.resize(rows);
        e.trunc.resize(rows);
        e.alive.resize(rows);
        e.ended.resize(static_cast<size_t>(matches));
        env_buffers b{e.obs.data(),   e.rewards.data(), e.term.data(), e.trunc.data(), e.alive.data(),
                      e.ended.data(), nullptr,          nullptr,       nullptr};
        env_set_buffers(e.batch, &b);
        env_reset(e.batch, nullptr);
        e.run(kWarmup);
    }
    bare.run(kWarmup);

    std::vector<std::function<void(int)>> runners = {[&](int s) { bare.run(s); }};
    for (Env& e : envs) runners.emplace_back([&e](int s) { e.run(s); });
    std::vector<std::vector<double>> wall(runners.size()), cpu(runners.size());
    for (int r = 0; r < rounds; ++r)
        for (size_t v = 0; v < runners.size(); ++v) {
            auto start = std::chrono::steady_clock::now();
            const double cpuStart = cpuSeconds();
            runners[v](steps);
            cpu[v].push_back(cpuSeconds() - cpuStart);
            wall[v].push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
    };
    // The median over rounds of runner `of`'s time over runner v's beside it.
    const auto pairedRatio = [&](const std::vector<std::vector<double>>& times, size_t v, size_t of) {
        std::vector<double> ratios;
        for (size_t r = 0; r < times[v].size(); ++r) ratios.push_back(times[of][r] / times[v][r]);
        return median(ratios);
    };
    std::printf("%d matches of %s, %d steps per round, %d rounds\n", matches, argc > 1 ? argv[1] : "2,2", steps,
                rounds);
    for (size_t v = 0; v < runners.size(); ++v) {
        double rate = steps * matches / median(wall[v]);
        std::string name = v == 0 ? "bare zb_step" : "env_step, " + std::to_string(threads[v - 1]) + " thr";
        std::printf("%-16s %10.0f env steps/s %11.0f agent-steps/s %6.2fx  cpu %5.2fx", name.c_str(), rate,
                    rate * agents, pairedRatio(wall, v, 0), pairedRatio(cpu, v, 0));
        if (v > 1) std::printf("  vs %d thr %5.2fx", threads[0], pairedRatio(wall, v, 1));
        std::printf("\n");
    }
    // Both ran as many steps: their matches must be the same, bit for bit.
    bool same = true;
    for (int32_t m = 0; m < matches; ++m) {
        const zb_world* a = bare.worlds[static_cast<size_t>(m)].get();
        const zb_world* b = env_world(envs[0].batch, m);
        std::vector<double> za(static_cast<size_t>(zb_num_zibbers(a)) * ZB_ZIBBER_WIDTH), zb(za.size());
        zb_zibbers(a, za.data());
        zb_zibbers(b, zb.data());
        same = same && zb_tick(a) == zb_tick(b) && za == zb;
    }
    std::printf("bare and env matches identical: %s\n", same ? "yes" : "NO");
    for (Env& e : envs) env_destroy(e.batch);
}
