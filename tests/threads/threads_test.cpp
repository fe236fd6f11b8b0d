// Separate Worlds stepped on separate threads, while other threads read a
// World that no one steps, must give exactly what the same calls give on one
// thread. Built by the tsan preset, ThreadSanitizer must report nothing.
#include <zibber.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "host/state_hash.h"

namespace {

constexpr int kWorkers = 3;
constexpr int kReaders = 2;
constexpr int kSteps = 400;

// A match with busy actions, so that charges, shots, bites and bursts run.
uint64_t playMatch(uint64_t seed) {
    zb_world* world = zb_create(seed);
    const int32_t sizes[3] = {4, 4, 4};
    zb_setup(world, sizes, 3, nullptr);
    for (int step = 0; step < kSteps; ++step) {
        for (int32_t i = 0; i < zb_num_zibbers(world); ++i) {
            zb_set_action(world, i, (step / 60 + i) % 3, 0.37 * (step / 25 + i));
        }
        zb_step(world);
    }
    const uint64_t hash = zbhost::hashWorld(world);
    zb_destroy(world);
    return hash;
}

}  // namespace

int main() {
    std::vector<uint64_t> expected;
    for (int k = 0; k < kWorkers; ++k) expected.push_back(playMatch(k + 1));

    zb_world* atRest = zb_create(99);
    const int32_t sizes[2] = {6, 6};
    zb_setup(atRest, sizes, 2, nullptr);
    for (int step = 0; step < 150; ++step) zb_step(atRest);
    const uint64_t atRestHash = zbhost::hashWorld(atRest);

    std::vector<uint64_t> got(kWorkers);
    std::atomic<int> badReads{0};
    std::vector<std::thread> threads;
    for (int k = 0; k < kWorkers; ++k) threads.emplace_back([&got, k] { got[k] = playMatch(k + 1); });
    for (int r = 0; r < kReaders; ++r) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) badReads += zbhost::hashWorld(atRest) != atRestHash;
        });
    }
    for (std::thread& t : threads) t.join();
    zb_destroy(atRest);

    int failures = badReads.load();
    for (int k = 0; k < kWorkers; ++k) {
        if (got[k] != expected[k]) {
            std::printf("World %d stepped on its own thread differs from the same calls on one thread\n", k);
            ++failures;
        }
    }
    if (badReads > 0) std::printf("%d reads of a World at rest saw it change\n", badReads.load());
    return failures == 0 ? 0 : 1;
}
