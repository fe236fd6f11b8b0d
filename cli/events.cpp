#include "events.h"

#include <cmath>

namespace zbhost {

namespace {

// Particle amounts are eventual radius changes. A wall hit is worth +0.3,
// a hazard obstacle +0.2 (compared loosely: the library derives them from
// logarithms); a bounce moves each radius by 0.5 per unit of advantage, and
// a ram scores once its advantage reaches 0.5 / 67.4.
constexpr double kWallHitAmount = 0.3;
constexpr double kHazardHitAmount = 0.2;
constexpr double kAmountTolerance = 1e-9;
constexpr double kScoringRamAmount = -0.5 * (0.5 / 67.4);
constexpr int kProjectileKind = 2;
constexpr int kShotCharge = 50;
constexpr int kStunSteps = 24;
constexpr double kRimCullMargin = 1.5;

void countParticles(const Snapshot &after, EventTotals &totals) {
    using namespace particleField;
    for (int k = 0; k < after.numParticles; ++k) {
        const double *p = after.particles.data() + static_cast<ptrdiff_t>(k) * ZB_PARTICLE_WIDTH;
        int kind = static_cast<int>(p[kKind]);
        if (kind == 0 || kind == 1) {
            ++totals.rubyBites;
        } else if (p[kContactIdA] != -1.0) {
            // A contact particle is followed by one particle per zibber
            // carrying that zibber's radius change; a shrink means it scored.
            ++totals.contacts;
            bool scored = false;
            for (int j = k + 1; j <= k + 2 && j < after.numParticles; ++j)
                if (after.particles[static_cast<size_t>(j) * ZB_PARTICLE_WIDTH + kAmount] <=
                    kScoringRamAmount)
                    scored = true;
            if (scored) ++totals.scoringRams;
        } else if (p[kZibberId] == -1.0 && std::fabs(p[kAmount] - kWallHitAmount) < kAmountTolerance) {
            ++totals.wallHits;
        } else if (p[kZibberId] == -1.0 && std::fabs(p[kAmount] - kHazardHitAmount) < kAmountTolerance) {
            ++totals.hazardHits;
        }
    }
}

}  // namespace

void countEvents(const Snapshot &before, const Snapshot &after, EventTotals &totals) {
    countParticles(after, totals);

    int shared = before.numZibbers < after.numZibbers ? before.numZibbers : after.numZibbers;
    using namespace zibberField;
    for (int i = 0; i < shared; ++i) {
        const double *was = zibberAt(before, i);
        const double *now = zibberAt(after, i);
        if (was[kAlive] == 0.0) continue;
        if (now[kAlive] == 0.0) ++totals.bursts;
        // Only a release after at least 50 steps of holding fires a shot.
        if (static_cast<int>(now[kKind]) == kProjectileKind &&
            was[kChargeTicks] >= kShotCharge && now[kChargeTicks] == -1.0)
            ++totals.launches;
        // Only a projectile sets 24; the countdown ran before it in the step.
        if (now[kAlive] != 0.0 && now[kStunTicks] == kStunSteps) ++totals.stuns;
    }

    // Removals beyond the rim of the arena the step started in are culls;
    // pickups sit between a zibber and its point, well inside.
    double rim = before.mapSize + kRimCullMargin;
    for (int k = 0; k < after.numRemovals; ++k) {
        const double *r = after.removals.data() + static_cast<ptrdiff_t>(k) * ZB_REMOVAL_WIDTH;
        if (std::fma(r[1], r[1], r[2] * r[2]) < rim * rim) ++totals.pointsCollected;
    }
}

}  // namespace zbhost
