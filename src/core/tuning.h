// Tuning constants, computed once at load time. Velocities and growth rates
// decay by 0.9 per step; L = -ln 0.9 turns a total effect into a per-step rate
// and kDecayTime = 1 / L turns a rate back into its total effect.
#pragma once

namespace zb {

extern const double kDecayRate;  // L
extern const double kTapDashSpeed;
extern const double kMaxDashCharge;
extern const double kDecayTime;
extern const double kDashGrowthRate;
extern const double kSubstepDecay;
extern const double kWallBounceSpeed;
extern const double kWallHitGrowthRate;
extern const double kCollisionGrowthRate;
extern const double kCollisionBounceSpeed;
extern const double kRubyKnockbackSpeed;
extern const double kRubyShrinkRate;
extern const double kObstacleGrowthRate;
extern const double kObstacleBounceSpeed;
extern const double kObstaclePulseBounceSpeed;

// Dash speed whose glide, spread over the charge time plus the glide time,
// averages 0.42 per step. Bisected in a fixed number of rounds.
double dashSpeed(double charge);

}  // namespace zb
