#include "core/tuning.h"

#include <zibber.h>

#include "core/hot.h"

#include "math/step_math.h"

namespace zb {
namespace {

// The charge-0 dash speed: the same equation as dashSpeed, written without
// the decay-time factors that cancel there.
double tapDashSpeed() {
    double lo = 0.0;
    double hi = 1e6;
    do {
        const double mid = (lo + hi) * 0.5;
        if (mid / fm::log(mid / 0.11 + 1.0) > 0.42) {
            hi = mid;
        } else {
            lo = mid;
        }
    } while (hi - lo > 1e-6);
    return (hi + lo) * 0.5;
}

}  // namespace

// Definition order matters: each initialiser reads only the ones above it.
const double kDecayRate = -fm::log(0.9);
const double kTapDashSpeed = tapDashSpeed();
const double kMaxDashCharge = 40.0 / 0.42 - fm::log(40.0 * kDecayRate / 0.11 + 1.0) / kDecayRate;
const double kDecayTime = 1.0 / kDecayRate;
const double kDashGrowthRate = kDecayRate / 10.0;
const double kSubstepDecay = fm::exp(-kDecayRate / 50.0);
const double kWallBounceSpeed = 5.0 * kDecayRate;
// A tenth of L taken three times (10 * 0.3 is exactly 3); 0.3 * L would
// round one unit in the last place lower.
const double kWallHitGrowthRate = (kDecayRate / 10.0) * (10.0 * ZB_WALL_HIT_GROWTH);
const double kCollisionGrowthRate = kDecayRate / 2.0;
const double kCollisionBounceSpeed = 6.0 * kDecayRate;
const double kRubyKnockbackSpeed = 30.0 * kDecayRate;
const double kRubyShrinkRate = -1.5 * kDecayRate;
// The same as L / 5: 10 * 0.2 is exactly 2 and halving L / 5 is exact.
const double kObstacleGrowthRate = (kDecayRate / 10.0) * (10.0 * ZB_HAZARD_HIT_GROWTH);
const double kObstacleBounceSpeed = 4.0 * kDecayRate;
const double kObstaclePulseBounceSpeed = 12.0 * kDecayRate;

ZB_HOT double dashSpeed(double charge) {
    double lo = 0.0;
    double hi = 1e6;
    do {
        const double mid = (lo + hi) * 0.5;
        if ((kDecayTime * mid) / (kDecayTime * fm::log(mid / 0.11 + 1.0) + charge) > 0.42) {
            hi = mid;
        } else {
            lo = mid;
        }
    } while (hi - lo > 1e-6);
    return (hi + lo) * 0.5;
}

}  // namespace zb
