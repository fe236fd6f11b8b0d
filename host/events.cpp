#include "host/events.h"

#include <cmath>

namespace zbhost {

namespace {

// Particle amounts are eventual radius changes, computed by the library from
// logarithms, so the swell of a wall or hazard hit is compared loosely. A
// bounce moves each radius by 0.5 per unit of advantage, and a ram scores once
// its advantage reaches 0.5 / 67.4.
constexpr double kAmountTolerance = 1e-9;
constexpr double kScoringRamAmount = -0.5 * (0.5 / 67.4);

bool isSwellOf(const double* particle, double growth) {
    return particle[ZB_PARTICLE_ZIBBER_ID] == -1.0 &&
           std::fabs(particle[ZB_PARTICLE_AMOUNT] - growth) < kAmountTolerance;
}

void countParticles(const Snapshot& after, EventTotals& totals) {
    for (int k = 0; k < after.numParticles; ++k) {
        const double* p = after.particles.data() + static_cast<ptrdiff_t>(k) * ZB_PARTICLE_WIDTH;
        int kind = static_cast<int>(p[ZB_PARTICLE_KIND]);
        if (kind == ZB_PARTICLE_BITE || kind == ZB_PARTICLE_FINAL_BITE) {
            ++totals.rubyBites;
        } else if (p[ZB_PARTICLE_CONTACT_ID_A] != -1.0) {
            // A contact particle is followed by one particle per zibber
            // carrying that zibber's radius change; a shrink means it scored.
            ++totals.contacts;
            bool scored = false;
            for (int j = k + 1; j <= k + 2 && j < after.numParticles; ++j)
                if (after.particles[static_cast<size_t>(j) * ZB_PARTICLE_WIDTH + ZB_PARTICLE_AMOUNT] <=
                    kScoringRamAmount)
                    scored = true;
            if (scored) ++totals.scoringRams;
        } else if (isSwellOf(p, ZB_WALL_HIT_GROWTH)) {
            ++totals.wallHits;
        } else if (isSwellOf(p, ZB_HAZARD_HIT_GROWTH)) {
            ++totals.hazardHits;
        }
    }
}

}  // namespace

void countEvents(const Snapshot& before, const Snapshot& after, EventTotals& totals) {
    countParticles(after, totals);

    int shared = before.numZibbers < after.numZibbers ? before.numZibbers : after.numZibbers;
    for (int i = 0; i < shared; ++i) {
        const double* was = zibberAt(before, i);
        const double* now = zibberAt(after, i);
        if (was[ZB_ZIBBER_ALIVE] == 0.0) continue;
        if (now[ZB_ZIBBER_ALIVE] == 0.0) ++totals.bursts;
        // Only a release after at least ZB_SHOT_CHARGE steps of holding fires a shot.
        if (static_cast<int>(now[ZB_ZIBBER_KIND]) == ZB_KIND_SHOOTER && was[ZB_ZIBBER_CHARGE_TICKS] >= ZB_SHOT_CHARGE &&
            now[ZB_ZIBBER_CHARGE_TICKS] == -1.0)
            ++totals.launches;
        // Only a shot sets ZB_STUN_TICKS; the countdown ran before it in the step.
        if (now[ZB_ZIBBER_ALIVE] != 0.0 && now[ZB_ZIBBER_STUN_TICKS] == ZB_STUN_TICKS) ++totals.stuns;
    }

    // Removals beyond the rim of the arena the step started in are culls;
    // pickups sit between a zibber and its point, well inside.
    double rim = before.mapSize + ZB_POINT_CULL_MARGIN;
    for (int k = 0; k < after.numRemovals; ++k) {
        const double* r = after.removals.data() + static_cast<ptrdiff_t>(k) * ZB_REMOVAL_WIDTH;
        const double x = r[ZB_REMOVAL_X];
        const double y = r[ZB_REMOVAL_Y];
        if (std::fma(x, x, y * y) < rim * rim) ++totals.pointsCollected;
    }
}

}  // namespace zbhost
