// Soak: steps of random play with re-setups and create/destroy cycles must
// not make memory grow. A long-lived World plays match after match; between
// its stretches a short-lived World is made, played and destroyed.
// Usage: zibber_soak_test [steps] [report interval]
//
// Two criteria. Each short-lived World gives back every heap byte it took:
// the heap in use after its destruction equals that before its creation
// (glibc's per-thread cache, which counts cached blocks as in use, is turned
// off for this). And the long-lived World's peak heap and resident size in
// the second half of the reports stay within 10 % plus a small margin of
// those in the first half: its arrays reach their working size early, and
// anything that keeps growing shows up here.
#include <malloc.h>
#include <unistd.h>
#include <zibber.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct Sample {
    long residentKiB;
    long heapKiB;
};

long heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>(info.uordblks + info.hblkhd);
}

Sample sample() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return {resident * sysconf(_SC_PAGESIZE) / 1024, heapBytes() / 1024};
}

struct Soak {
    std::mt19937_64 rng{20240607};
    std::vector<double> zibbers = std::vector<double>(ZB_MAX_ZIBBERS * ZB_ZIBBER_WIDTH);
    long steps = 0;
    long interval = 0;
    std::vector<Sample> samples;
    double farthestOut = 0.0;  // beyond mapSize - radius, after a step
    long cycles = 0;
    long leakedCycles = 0;
    zb_world* longLived = nullptr;

    int below(int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); }

    void setup(zb_world* world) {
        const int32_t teams = 1 + below(8);
        int32_t sizes[8];
        int32_t kinds[64];
        int32_t total = 0;
        for (int32_t t = 0; t < teams; ++t) total += sizes[t] = below(9);
        for (int32_t i = 0; i < total; ++i) kinds[i] = below(6) - 1;
        zb_setup(world, sizes, teams, below(2) ? kinds : nullptr);
    }

    // Random actions now and then; returns whether any zibber is alive.
    bool step(zb_world* world) {
        const double mapBefore = zb_map_size(world);
        const int32_t count = zb_num_zibbers(world);
        for (int32_t i = 0; i < count; ++i) {
            if (below(20) == 0) zb_set_action(world, i, below(3), (below(6283) - 3141) / 500.0);
        }
        zb_step(world);
        zb_zibbers(world, zibbers.data());
        bool alive = false;
        for (int32_t i = 0; i < count; ++i) {
            const double* z = &zibbers[static_cast<size_t>(i) * ZB_ZIBBER_WIDTH];
            if (z[ZB_ZIBBER_ALIVE] == 0.0) continue;
            alive = true;
            const double out = std::hypot(z[ZB_ZIBBER_X], z[ZB_ZIBBER_Y]) - (mapBefore - z[ZB_ZIBBER_RADIUS]);
            farthestOut = std::max(farthestOut, out);
        }
        if (++steps % interval == 0) report();
        return alive;
    }

    void report() {
        samples.push_back(sample());
        std::printf(
            "step %8ld  resident %6ld KiB  heap %6ld KiB  cycles %5ld  long-lived World: tick %7u, points %5d\n", steps,
            samples.back().residentKiB, samples.back().heapKiB, cycles, zb_tick(longLived), zb_num_points(longLived));
    }

    // A World that lives a few thousand steps, with setups mid-match too.
    void shortLife() {
        const long heapBefore = heapBytes();
        zb_world* world = zb_create(rng());
        setup(world);
        for (int s = 1000 + below(4000); s > 0; --s) {
            if (!step(world) || below(1500) == 0) setup(world);
        }
        zb_destroy(world);
        ++cycles;
        // Reports in between give back what they take; samples has its room.
        if (heapBytes() != heapBefore) ++leakedCycles;
    }
};

bool grew(const std::vector<Sample>& samples, long Sample::*field, long marginKiB) {
    const size_t half = samples.size() / 2;
    long first = 0, second = 0;
    for (size_t i = 0; i < half; ++i) first = std::max(first, samples[i].*field);
    for (size_t i = half; i < samples.size(); ++i) second = std::max(second, samples[i].*field);
    return second > first + first / 10 + marginKiB;
}

}  // namespace

int main(int argc, char** argv) {
    // Re-run once with glibc's thread cache off, so that heap in use is exact.
    if (std::getenv("GLIBC_TUNABLES") == nullptr) {
        setenv("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0", 1);
        execv("/proc/self/exe", argv);
    }
    Soak soak;
    const long total = argc > 1 ? std::atol(argv[1]) : 1000000;
    soak.interval = argc > 2 ? std::atol(argv[2]) : 100000;
    soak.samples.reserve(static_cast<size_t>(total / soak.interval + 2));
    // The first line sets up stdout's buffer before any World is measured.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("soak: %ld steps, a report every %ld\n", total, soak.interval);
    soak.longLived = zb_create(1);
    soak.setup(soak.longLived);
    while (soak.steps < total) {
        for (int s = 0; s < 2000 && soak.steps < total; ++s) {
            if (!soak.step(soak.longLived)) soak.setup(soak.longLived);
        }
        soak.shortLife();
    }
    zb_destroy(soak.longLived);
    std::printf("farthest a living zibber ended a step beyond mapSize - radius: %.6f\n", soak.farthestOut);
    int failures = 0;
    if (soak.leakedCycles > 0) {
        std::printf("%ld of %ld short-lived Worlds did not give back all their heap\n", soak.leakedCycles, soak.cycles);
        ++failures;
    }
    if (soak.samples.size() < 4) {
        std::printf("too few reports to judge growth\n");
        ++failures;
    }
    if (grew(soak.samples, &Sample::heapKiB, 256) || grew(soak.samples, &Sample::residentKiB, 2048)) {
        std::printf("memory grew between the first and the second half of the run\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
