#include <zibber.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/hot.h"
#include "core/phases.h"
#include "core/rim_bounce.h"
#include "core/tuning.h"
#include "math/lanes.h"
#include "math/step_math.h"
#include "zibbers/angles.h"

namespace zb {
namespace {

constexpr int kSubsteps = 50;
constexpr double kMaxAimOffset = 0.6283185307179586;  // pi / 5

struct TurnParams {
    double rate;
    double factorMinusOne;  // charge pulls the turn factor from 1 toward m
};

TurnParams turnParams(int32_t kind) {
    switch (kind) {
        case ZB_KIND_DASHER: return {0.1, 0.1 - 1.0};
        case ZB_KIND_BRACER: return {0.3, 0.2 - 1.0};
        case ZB_KIND_TURNER: return {0.18, 1.6 - 1.0};
        default: return {0.1, 0.67 - 1.0};
    }
}

// 1 - exp(-c * k) for a charge of c steps, 0 while not charging.
double chargeEffect(int32_t chargeTicks, double k) {
    if (chargeTicks < 0) return 0.0;
    return 1.0 - fm::exp(static_cast<double>(-chargeTicks) * k);
}

// The target direction, but at most pi/5 away from the current heading.
double aimOf(const Zibber& z) {
    double limit = std::fabs(angleDelta(z.heading, z.targetHeading));
    if (limit > kMaxAimOffset) limit = kMaxAimOffset;
    const double h = wrapAngle(z.heading);
    const double t = wrapAngle(z.targetHeading);
    const double d = angleDelta(h, t);
    if (std::fabs(d) <= limit) return t;
    return d > 0.0 ? wrapAngle(h + limit) : wrapAngle(h - limit);
}

void tapDash(Zibber& z, double aim, double sizeFactor) {
    const fm::SinCos sc = fm::sinCos(aim);
    z.vx = std::fma(sc.c * sizeFactor, kTapDashSpeed, z.vx);
    z.vy = std::fma(sc.s * sizeFactor, kTapDashSpeed, z.vy);
    z.growthRate = z.growthRate + kDashGrowthRate;
}

// The glide speed is only ever compared with 0.11 (tap dash, charging) or fed
// to the walk's scale, which is 0 from 0.11 on. A rounded hypot is never below the
// larger component, so above 0.11 that component serves every use exactly and
// the square root is saved while gliding fast.
template <bool kFma>
double glideSpeed(double vx, double vy) {
    const double ax = std::fabs(vx);
    const double ay = std::fabs(vy);
    const double m = ax > ay ? ax : ay;
    if (m > ZB_DASH_SPEED_LIMIT && ax == ax && ay == ay) return m;  // a NaN keeps its hypot
    return fm::hypotWith<kFma>(vx, vy);
}

// Fifty sub-steps: the decay per sub-step is applied exactly this many times,
// since a closed form would round differently. The velocities and the walk's
// strength depend on nothing else, the heading on nothing else either, so
// each is worked out for all sub-steps in a loop of its own before the
// positions; short loops keep their values in registers, and the math in them
// runs four sub-steps at a time: arrays have room for any run of sub-steps
// rounded up to a whole four.
constexpr int kRoom = kSubsteps + 3;
// Loops over every sub-step run to a whole four too, on zeros past the end.
constexpr int kWhole = (kSubsteps + 3) / 4 * 4;

struct Substeps {
    double vx[kRoom];  // the velocity at the start of each sub-step
    double vy[kRoom];
    double walk[kWhole];  // the walking thrust
    double cos[kRoom];    // the heading's direction, where it matters
    double sin[kRoom];
    double grow[kWhole];  // the growth rate
    // All ones where the walk is not zero or the velocity has a zero part.
    int64_t need[kWhole];
};

constexpr double kStill = 0x1p-58;

// Turns h toward t by at most maxTurn a sub-step until it is there, from
// sub-step turned on, and returns how many sub-steps changed it. Headings stay
// within [0, 2pi], so with kNear (finite values, maxTurn below pi) wrapNear
// does for wrapAngle.
template <bool kNear>
int turnFrom(int turned, double h, double t, double maxTurn, double* heading) {
    const auto wrap = [](double a) { return kNear ? wrapNear(a) : wrapAngle(a); };
    while (turned < kSubsteps) {
        const double d = wrap(t - h + kPi) + (-kPi);  // angleDelta(h, t)
        if (std::fabs(d) <= maxTurn) {
            heading[turned++] = t;
            break;
        }
        h = d > 0.0 ? wrap(h + maxTurn) : wrap(h - maxTurn);
        heading[turned++] = h;
    }
    return turned;
}

// The heading's turn over the sub-steps. A turn keeps its way until it
// arrives, so where turnFrom<true> applies, the headings are stepped that way
// alone, a short chain (h - m is h + -m to the bit), for about as many
// sub-steps as the gap takes, side by side with the glide's chains; the rules
// are checked against them afterwards.
struct Turn {
    double h;  // wrapped heading and target
    double t;
    double maxTurn;
    bool near;                      // finite, with a turn below pi
    bool up;                        // the way of the planned headings
    double step;                    // their turn per sub-step
    int planned;                    // how many were stepped ahead, 0 if none
    double heading[kSubsteps + 2];  // room for two more, checked four at a time
};

void planTurn(const Zibber& z, double maxTurn, Turn& turn) {
    turn.h = wrapAngle(z.heading);
    turn.t = wrapAngle(z.targetHeading);
    turn.maxTurn = maxTurn;
    turn.near = turn.h == turn.h && turn.t == turn.t && std::fabs(maxTurn) < kPi;
    turn.planned = 0;
    if (!turn.near || turn.h == turn.t) return;
    const double d0 = wrapNear(turn.t - turn.h + kPi) + (-kPi);
    if (std::fabs(d0) <= maxTurn) return;  // there at the first sub-step
    turn.up = d0 > 0.0;
    turn.step = turn.up ? maxTurn : -maxTurn;
    const double gap = std::fabs(d0) / maxTurn + 2.0;
    turn.planned = kSubsteps;
    if (gap < kSubsteps) turn.planned = gap > 1.0 ? static_cast<int>(gap) : 1;
}

// The speed is only fed to the walk's scale here, where glideSpeed's shortcut and the
// true hypot give the same walk. Speeds only fall, so the sub-steps split
// into those gliding fast (no walk), those that need the hypot, and those at
// rest or nearly (whole walk), each run done as a whole. startSpeed is glideSpeed's, taken
// before a tap dash changed the velocity.
template <bool kFma>
void glide(Zibber& z, double startSpeed, double walkBase, Substeps& steps, Turn& turn) {
    double vx = z.vx;
    double vy = z.vy;
    double growthRate = z.growthRate;
    double h = turn.h;
    const auto decay = [&](int i) {
        steps.vx[i] = vx;
        steps.vy[i] = vy;
        steps.grow[i] = growthRate;
        vx *= kSubstepDecay;
        vy *= kSubstepDecay;
        growthRate *= kSubstepDecay;
    };
    // Three independent chains side by side, four with the planned turn.
    int i = 0;
    for (; i < turn.planned; ++i) {
        decay(i);
        h = wrapNear(h + turn.step);
        turn.heading[i] = h;
    }
#pragma GCC unroll 5
    for (; i < kSubsteps; ++i) decay(i);
    z.vx = vx;
    z.vy = vy;
    z.growthRate = growthRate;
    double speed[kRoom];
    speed[0] = startSpeed;
    const auto fast = [&steps](int i) {
        const double ax = std::fabs(steps.vx[i]);
        const double ay = std::fabs(steps.vy[i]);
        const double m = ax > ay ? ax : ay;
        return m > ZB_DASH_SPEED_LIMIT && ax == ax && ay == ay;
    };
    // Below kStill the speed is under 2^-57.5, which leaves 0.11 as it is
    // when subtracted: the walk is whole, as at rest.
    const auto still = [&steps](int i) { return std::fabs(steps.vx[i]) < kStill && std::fabs(steps.vy[i]) < kStill; };
    // Most zibbers glide, walk or rest through the whole step.
    int slow = fast(kSubsteps - 1) ? kSubsteps : 1;
    while (slow < kSubsteps && fast(slow)) ++slow;
    // Four at a time; past slow the hypots or zeros below overwrite them.
    using namespace cr::detail;
    for (int i = kSubsteps; i < kRoom; ++i) steps.vx[i] = steps.vy[i] = 0.0;
    for (int i = 0; i < slow; i += 4) {
        const Vec4 ax = abs4(load4(steps.vx + i));
        const Vec4 ay = abs4(load4(steps.vy + i));
        store4(speed + i, select4(ax > ay, ax, ay));
    }
    speed[0] = startSpeed;
    int rest = slow == kSubsteps || still(slow) ? slow : still(kSubsteps - 1) ? slow + 1 : kSubsteps;
    while (rest < kSubsteps && !still(rest)) ++rest;
    if (rest > slow) {
        // The last four may reach past the sub-steps, into the padding.
        fm::hypotBatch<kFma>(steps.vx + slow, steps.vy + slow, (rest - slow + 3) / 4 * 4, speed + slow);
    }
    for (int i = rest; i < kWhole; ++i) speed[i] = 0.0;
    // The walking thrust fades out linearly as the glide speed reaches 0.11;
    // with it, the sub-steps that need a direction. Four at a time. The
    // division is only needed where the hypots were: gliding fast (past the
    // first sub-step, whose speed is from before a tap dash) the quotient is
    // below 0 and clamps to 0, and at rest it is -0.11 / -0.11, exactly 1.
    const Vec4 limit = splat(ZB_DASH_SPEED_LIMIT);
    for (int i = 0; i < kWhole; i += 4) {
        Vec4 q;
        if (i > 0 && i + 4 <= slow) {
            q = splat(0.0);
        } else if (i >= rest) {
            q = splat(1.0);
        } else {
            q = (load4(speed + i) - limit) / -limit;
            q = q < splat(0.0) ? splat(0.0) : q;
            q = q > splat(1.0) ? splat(1.0) : q;
        }
        const Vec4 walk = splat(walkBase) * q;
        store4(steps.walk + i, walk);
        const Mask4 need =
            (walk != splat(0.0)) | (load4(steps.vx + i) == splat(0.0)) | (load4(steps.vy + i) == splat(0.0));
        std::memcpy(steps.need + i, &need, sizeof need);
    }
}

// The heading's sine and cosine, most of the cost, are taken only where they
// can change the sum: a zero walk adds an exact zero, which leaves a non-zero
// velocity as it is.
bool needsDirection(const Substeps& steps, int i) { return steps.need[i] != 0; }

// The sub-steps that change the heading, with turn.heading filled for them.
// Planned headings are checked four at a time, and from the first sub-step
// that arrives or would turn the other way the plain loop takes over.
int finishTurn(Turn& turn) {
    double* heading = turn.heading;
    const double t = turn.t;
    const double maxTurn = turn.maxTurn;
    if (turn.h == t) return 0;
    if (!turn.near) return turnFrom<false>(0, turn.h, t, maxTurn, heading);
    const int planned = turn.planned;
    if (planned == 0) {
        heading[0] = t;
        return 1;
    }
    heading[planned] = heading[planned + 1] = 0.0;
    using namespace cr::detail;
    const Vec4 twoPi = splat(kTwoPi);
    const Vec4 target = splat(t);
    const Vec4 most = splat(maxTurn);
    for (int i = 1; i < planned; i += 4) {
        Vec4 w = target - load4(heading + i - 1) + splat(kPi);
        w = select4(w >= twoPi, w - twoPi, select4(w < splat(0.0), w + twoPi, w));
        const Vec4 d = w + splat(-kPi);
        const Mask4 arrives = abs4(d) <= most;
        const Mask4 ahead = d > splat(0.0);
        const Mask4 stop = arrives | (turn.up ? ~ahead : ahead);
        if ((stop[0] | stop[1] | stop[2] | stop[3]) == 0) continue;
        int lane = 0;
        while (stop[lane] == 0) ++lane;
        const int at = i + lane;
        if (at >= planned) break;
        if (arrives[lane] != 0) {
            heading[at] = t;
            return at + 1;
        }
        return turnFrom<true>(at, heading[at - 1], t, maxTurn, heading);
    }
    return turnFrom<true>(planned, heading[planned - 1], t, maxTurn, heading);
}

// The heading turns by the same rules whatever the sums, so it is turned for
// every sub-step first; then the headings whose direction is needed (each
// new one that a sub-step needs) are evaluated together, several at a time,
// and each direction serves from its sub-step until the next one's.
template <bool kFma>
void turn(Zibber& z, Turn& plan, Substeps& steps) {
    const int turned = finishTurn(plan);
    const double* heading = plan.heading;
    const double h = turned > 0 ? heading[turned - 1] : plan.h;
    z.heading = h;

    double angles[kRoom];
    int from[kSubsteps + 1];  // the first sub-step each direction serves
    int taken = 0;
    int i = 0;
    // Walking, every sub-step needs one: four at a time while all do.
    for (; i + 4 <= turned; i += 4) {
        if ((steps.need[i] & steps.need[i + 1] & steps.need[i + 2] & steps.need[i + 3]) == 0) break;
        for (int lane = 0; lane < 4; ++lane) {
            angles[taken + lane] = heading[i + lane];
            from[taken + lane] = i + lane;
        }
        taken += 4;
    }
    for (; i < turned; ++i) {
        if (needsDirection(steps, i)) {
            angles[taken] = heading[i];
            from[taken++] = i;
        }
    }
    if (taken == 0 || from[taken - 1] != turned - 1) {
        for (int i = turned; i < kSubsteps; ++i) {
            if (needsDirection(steps, i)) {
                angles[taken] = h;
                from[taken++] = i;
                break;
            }
        }
    }
    // Turning while walking takes a direction every sub-step, in place.
    if (taken == kSubsteps) {
        fm::sinCosBatch<kFma>(angles, taken, steps.sin, steps.cos);
        return;
    }
    double sin[kRoom];
    double cos[kRoom];
    fm::sinCosBatch<kFma>(angles, taken, sin, cos);
    from[taken] = kSubsteps;
    // Before the first, the direction is zero as ever; unused, since such
    // sub-steps do not walk.
    for (int i = 0; i < (taken > 0 ? from[0] : kSubsteps); ++i) steps.cos[i] = steps.sin[i] = 0.0;
    for (int k = 0; k < taken; ++k) {
        for (int i = from[k]; i < from[k + 1]; ++i) {
            steps.cos[i] = cos[k];
            steps.sin[i] = sin[k];
        }
    }
}

// The divisions do not depend on one another, so they run side by side (the
// compiler packs them) before the sums, which are chains.
void advance(Zibber& z, double moveFactor, Substeps& steps) {
    double dx[kWhole];
    double dy[kWhole];
    double grow[kWhole];
    for (int i = kSubsteps; i < kWhole; ++i) {
        steps.grow[i] = steps.cos[i] = steps.sin[i] = steps.vx[i] = steps.vy[i] = 0.0;
    }
    for (int i = 0; i < kWhole; ++i) {
        dx[i] = std::fma(steps.walk[i], steps.cos[i], steps.vx[i]) / 50.0;
        dy[i] = std::fma(steps.walk[i], steps.sin[i], steps.vy[i]) / 50.0;
        grow[i] = steps.grow[i] / 50.0;
    }
    double x = z.x;
    double y = z.y;
    double radius = z.radius;
    // Unless stunned the factor is 1, where the fused multiply-add is exactly
    // the sum, one rounding of the same value, and the addition has the
    // shorter latency on these chains.
    if (moveFactor == 1.0) {
#pragma GCC unroll 5
        for (int i = 0; i < kSubsteps; ++i) {
            x = dx[i] + x;
            y = dy[i] + y;
            radius = radius + grow[i];
        }
    } else {
#pragma GCC unroll 5
        for (int i = 0; i < kSubsteps; ++i) {
            x = std::fma(dx[i], moveFactor, x);
            y = std::fma(dy[i], moveFactor, y);
            radius = radius + grow[i];
        }
    }
    z.x = x;
    z.y = y;
    z.radius = radius;
}

template <bool kFma>
void integrate(Zibber& z, double startSpeed, double walkBase, double maxTurn, double moveFactor) {
    Substeps steps;
    Turn plan;
    planTurn(z, maxTurn, plan);
    glide<kFma>(z, startSpeed, walkBase, steps, plan);
    turn<kFma>(z, plan, steps);
    advance(z, moveFactor, steps);
}

void bounceOffWall(World& world, Zibber& z) {
    const RimHit hit = bounceOffRim(z.x, z.y, z.vx, z.vy, world.mapSize - z.radius);
    if (!hit.hit) return;
    z.growthRate = z.growthRate + kWallHitGrowthRate;
    world.particles.push_back(Particle{ZB_PARTICLE_SIZE_CHANGE, world.mapSize * hit.nx, world.mapSize * hit.ny,
                                       kWallHitGrowthRate * kDecayTime, -1, -1, -1});
}

// An entry recorded in step t is gone before the collisions of step t + 25.
constexpr int32_t kContactMemory = 24;

void ageContacts(Zibber& z) {
    std::vector<Contact>& contacts = z.contacts;
    size_t kept = 0;
    for (size_t i = 0; i < contacts.size(); ++i) {
        const int32_t age = contacts[i].age;
        contacts[i].age = age + 1;
        if (age < kContactMemory) contacts[kept++] = contacts[i];
    }
    contacts.resize(kept);
}

}  // namespace

ZB_HOT void updateZibber(World& world, Zibber& z) {
    const double s0 = fm::fmaPath() ? glideSpeed<true>(z.vx, z.vy) : glideSpeed<false>(z.vx, z.vy);
    const double sf = 1.0 + ((z.radius - 1.0) * 0.2857142857142858) / 3.0;
    const double cs = chargeEffect(z.chargeTicks, 0.22);
    const double mf = z.stunTicks > 0 ? 0.12 : 1.0;
    z.stunTicks = (z.stunTicks > 1 ? z.stunTicks : 1) - 1;

    const double aim = aimOf(z);
    updateCharge(world, z, s0, aim, sf);
    if (z.actionTap == 1 && z.actionHold != 1 && z.stunTicks == 0 && s0 < ZB_DASH_SPEED_LIMIT) {
        tapDash(z, aim, sf);
    }

    const TurnParams tp = turnParams(z.kind);
    double tf = std::fma(chargeEffect(z.chargeTicks, tp.rate), tp.factorMinusOne, 1.0);
    if (z.stunTicks != 0) tf *= 0.02;
    const double maxTurn = ((tf * 0.12) / z.radius) / 50.0;
    const double walkBase = (sf * ZB_WALK_SPEED) * (1.0 - cs);

    // One version of the sub-steps or the other, chosen outside them.
    if (fm::fmaPath()) {
        integrate<true>(z, s0, walkBase, maxTurn, mf);
    } else {
        integrate<false>(z, s0, walkBase, maxTurn, mf);
    }
    const double grown = z.radius + 0.001;
    z.radius = grown < 0.75 ? 0.75 : grown;
    bounceOffWall(world, z);
    ageContacts(z);
}

}  // namespace zb
