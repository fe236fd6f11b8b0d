#include "host/bots.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zbhost {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
// A tap dash glides roughly 9 units; start it a little closer than that.
constexpr double kDashReach = 7.5;
// A wall hit swells a zibber by ZB_WALL_HIT_GROWTH, so bots turn back early:
// their turning circle is about 3 units and the arena may shrink 0.1 per step.
constexpr double kWallMargin = 7.0;
constexpr double kHazardMargin = 3.5;
constexpr double kCrowdMargin = 2.5;
// Re-sending a heading that barely changed would only bloat recordings.
constexpr double kResendAngle = 0.05;

struct Vec {
    double x = 0.0;
    double y = 0.0;
};

Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
double length(Vec a) { return std::hypot(a.x, a.y); }
Vec unitOf(double angle) { return {std::cos(angle), std::sin(angle)}; }
double angleOf(Vec a) { return std::atan2(a.y, a.x); }

// Signed turn from a to b, in [-pi, pi).
double angleDiff(double a, double b) {
    double d = std::fmod(b - a + kPi, kTwoPi);
    if (d < 0) d += kTwoPi;
    return d - kPi;
}

struct Self {
    int index;
    Vec pos;
    double radius;
    double heading;
    double speed;
    int kind;
    int chargeTicks;
    int stunTicks;
    int team;
};

Self selfOf(const Snapshot& s, const BotState& state, int i) {
    const double* z = zibberAt(s, i);
    return {i,
            {z[ZB_ZIBBER_X], z[ZB_ZIBBER_Y]},
            z[ZB_ZIBBER_RADIUS],
            z[ZB_ZIBBER_HEADING],
            std::hypot(z[ZB_ZIBBER_VX], z[ZB_ZIBBER_VY]),
            static_cast<int>(z[ZB_ZIBBER_KIND]),
            static_cast<int>(z[ZB_ZIBBER_CHARGE_TICKS]),
            static_cast<int>(z[ZB_ZIBBER_STUN_TICKS]),
            state.teamOf[static_cast<size_t>(i)]};
}

bool isAlive(const Snapshot& s, int i) { return zibberAt(s, i)[ZB_ZIBBER_ALIVE] != 0.0; }
Vec positionOf(const Snapshot& s, int i) {
    const double* z = zibberAt(s, i);
    return {z[ZB_ZIBBER_X], z[ZB_ZIBBER_Y]};
}

// Pushes away from the arena wall, hazard obstacles and other zibbers
// (teammates only, for bots that seek rivals out); zero when nothing is near.
Vec avoidance(const Snapshot& s, const BotState& state, const Self& me, bool avoidRivals) {
    Vec push;
    double fromCentre = length(me.pos);
    double safe = s.mapSize - me.radius - kWallMargin;
    if (fromCentre > safe && fromCentre > 0.0)
        push = push + me.pos * (-(fromCentre - safe) / kWallMargin * 3.0 / fromCentre);
    for (int o = 0; o < s.numObstacles; ++o) {
        const double* ob = s.obstacles.data() + static_cast<ptrdiff_t>(o) * ZB_OBSTACLE_WIDTH;
        if (ob[ZB_OBSTACLE_HAZARD] == 0.0) continue;
        Vec a{ob[ZB_OBSTACLE_AX], ob[ZB_OBSTACLE_AY]};
        Vec closest = a;
        if (ob[ZB_OBSTACLE_IS_CIRCLE] == 0.0) {
            Vec b{ob[ZB_OBSTACLE_BX], ob[ZB_OBSTACLE_BY]};
            Vec ab = b - a;
            double len2 = ab.x * ab.x + ab.y * ab.y;
            double t = len2 > 0.0 ? ((me.pos.x - a.x) * ab.x + (me.pos.y - a.y) * ab.y) / len2 : 0.0;
            closest = a + ab * std::fmin(std::fmax(t, 0.0), 1.0);
        }
        Vec away = me.pos - closest;
        double d = length(away);
        double gap = d - ob[ZB_OBSTACLE_RADIUS] - me.radius;
        if (gap < kHazardMargin && d > 0.0) push = push + away * ((kHazardMargin - gap) / kHazardMargin * 2.0 / d);
    }
    // Bumping into anyone head-on swells both.
    for (int j = 0; j < s.numZibbers; ++j) {
        if (j == me.index || !isAlive(s, j)) continue;
        if (!avoidRivals && state.teamOf[static_cast<size_t>(j)] != me.team) continue;
        Vec away = me.pos - positionOf(s, j);
        double d = length(away);
        double gap = d - me.radius - zibberAt(s, j)[ZB_ZIBBER_RADIUS];
        if (gap < kCrowdMargin && d > 0.0) push = push + away * ((kCrowdMargin - gap) / kCrowdMargin * 1.5 / d);
    }
    return push;
}

// Heading toward `goal`, bent away from walls and hazards.
double steer(const Snapshot& s, const BotState& state, const Self& me, Vec goal, bool avoidRivals) {
    Vec toGoal = goal - me.pos;
    double d = length(toGoal);
    Vec want = d > 0.0 ? toGoal * (1.0 / d) : unitOf(me.heading);
    return angleOf(want + avoidance(s, state, me, avoidRivals));
}

int nearestRival(const Snapshot& s, const BotState& state, const Self& me) {
    int best = -1;
    double bestD2 = std::numeric_limits<double>::infinity();
    for (int j = 0; j < s.numZibbers; ++j) {
        if (state.teamOf[static_cast<size_t>(j)] == me.team || !isAlive(s, j)) continue;
        Vec d = positionOf(s, j) - me.pos;
        double d2 = d.x * d.x + d.y * d.y;
        if (d2 < bestD2) {
            bestD2 = d2;
            best = j;
        }
    }
    return best;
}

// Sticks to the rival already chosen while it lives, so bots do not dither
// between two rivals at similar distances.
int huntedRival(const Snapshot& s, BotState& state, const Self& me) {
    int& target = state.memory[static_cast<size_t>(me.index)].targetIndex;
    if (target < 0 || target >= s.numZibbers || !isAlive(s, target) ||
        state.teamOf[static_cast<size_t>(target)] == me.team || length(positionOf(s, target) - me.pos) > 30.0)
        target = nearestRival(s, state, me);
    return target;
}

// Where a walking rival will be when something at `speed` reaches it.
Vec leadTarget(const Snapshot& s, const Self& me, int rival, double speed) {
    const double* z = zibberAt(s, rival);
    Vec pos = positionOf(s, rival);
    double t = length(pos - me.pos) / speed;
    Vec walk = unitOf(z[ZB_ZIBBER_HEADING]) * ZB_WALK_SPEED;
    Vec glide{z[ZB_ZIBBER_VX], z[ZB_ZIBBER_VY]};
    return pos + (walk + glide) * t;
}

struct Decision {
    int32_t kind = 0;
    double heading = 0.0;
};

Decision collect(const Snapshot& s, const BotState& state, const Self& me) {
    // Rubies are worth dozens of points and shrink the biter: worth a detour.
    Vec goal;  // the centre, if there is nothing to collect
    double best = std::numeric_limits<double>::infinity();
    bool ruby = false;
    for (int k = 0; k < s.numRubys; ++k) {
        const double* q = s.rubys.data() + static_cast<ptrdiff_t>(k) * ZB_RUBY_WIDTH;
        Vec pos{q[ZB_RUBY_X], q[ZB_RUBY_Y]};
        double cost = length(pos - me.pos) - 25.0 * me.radius;
        if (cost < best) {
            best = cost;
            goal = pos;
            ruby = true;
        }
    }
    double reach = s.mapSize - me.radius - 3.0;
    for (int p = 0; p < s.numPoints; ++p) {
        const double* pt = s.points.data() + static_cast<ptrdiff_t>(p) * ZB_POINT_WIDTH;
        Vec pos{pt[ZB_POINT_X], pt[ZB_POINT_Y]};
        if (length(pos) > reach) continue;
        double cost = length(pos - me.pos);
        if (cost < best) {
            best = cost;
            goal = pos;
            ruby = false;
        }
    }
    Decision d{ZB_ACTION_WALK, steer(s, state, me, goal, true)};
    bool aligned = std::fabs(angleDiff(me.heading, d.heading)) < 0.2;
    if (ruby && aligned && length(goal - me.pos) < kDashReach + me.radius && me.speed < ZB_DASH_SPEED_LIMIT &&
        me.stunTicks == 0)
        d.kind = ZB_ACTION_TAP;
    return d;
}

Decision hunt(const Snapshot& s, BotState& state, const Self& me) {
    int rival = huntedRival(s, state, me);
    if (rival < 0) return collect(s, state, me);
    const double* z = zibberAt(s, rival);
    Vec rivalPos = positionOf(s, rival);
    Vec rivalFacing = unitOf(z[ZB_ZIBBER_HEADING]);
    Vec fromRival = me.pos - rivalPos;
    double dist = length(fromRival);
    // Behind means the rival's back is turned to us: only then does a ram score.
    bool behind = dist > 0.0 && (rivalFacing.x * fromRival.x + rivalFacing.y * fromRival.y) / dist < -0.5;
    if (behind) {
        Decision d{ZB_ACTION_WALK, steer(s, state, me, leadTarget(s, me, rival, 1.0), false)};
        bool aligned = std::fabs(angleDiff(me.heading, d.heading)) < 0.25;
        if (aligned && dist < kDashReach + me.radius + z[ZB_ZIBBER_RADIUS] && me.speed < ZB_DASH_SPEED_LIMIT &&
            me.stunTicks == 0)
            d.kind = ZB_ACTION_TAP;
        return d;
    }
    // Circle round to a spot behind the rival, keeping clear of its front.
    Vec behindSpot = rivalPos - rivalFacing * (z[ZB_ZIBBER_RADIUS] + me.radius + 4.0);
    Vec side{-rivalFacing.y, rivalFacing.x};
    if (side.x * fromRival.x + side.y * fromRival.y < 0) side = side * -1.0;
    Vec goal = dist < 8.0 ? behindSpot + side * 4.0 : behindSpot;
    return {ZB_ACTION_WALK, steer(s, state, me, goal, false)};
}

Decision chargeAndDash(const Snapshot& s, BotState& state, const Self& me) {
    int rival = huntedRival(s, state, me);
    if (rival < 0) return collect(s, state, me);
    Vec rivalPos = positionOf(s, rival);
    double dist = length(rivalPos - me.pos);
    double toRival = steer(s, state, me, rivalPos, false);
    if (me.chargeTicks < 0) {
        // A dasher's charge only starts once the zibber has slowed down.
        if (me.speed < ZB_DASH_SPEED_LIMIT && me.stunTicks == 0 && dist < 40.0) return {ZB_ACTION_HOLD, toRival};
        return {ZB_ACTION_WALK, toRival};
    }
    // The dash speed grows with the charge; about 9.5 units of glide per unit
    // of speed. Release once the rival is in reach and in front.
    double reach = 9.5 * (1.0 + 0.054 * me.chargeTicks);
    bool aligned = std::fabs(angleDiff(me.heading, toRival)) < 0.3;
    if (me.chargeTicks >= 12 && aligned && dist < reach) return {ZB_ACTION_WALK, toRival};
    return {ZB_ACTION_HOLD, toRival};
}

Decision chargeAndShoot(const Snapshot& s, BotState& state, const Self& me) {
    int rival = huntedRival(s, state, me);
    if (rival < 0) return collect(s, state, me);
    Vec aimPoint = leadTarget(s, me, rival, ZB_SHOT_SPEED);
    double aim = angleOf(aimPoint - me.pos);
    double avoid = length(avoidance(s, state, me, true));
    double heading = avoid > 0.0 ? steer(s, state, me, aimPoint, true) : aim;
    if (me.chargeTicks >= ZB_SHOT_CHARGE) {
        // The shot leaves along the current heading; wait until it points
        // at the rival, but not forever.
        bool aligned = std::fabs(angleDiff(me.heading, aim)) < 0.06;
        if (aligned || me.chargeTicks > 140) return {ZB_ACTION_WALK, heading};
    }
    return {ZB_ACTION_HOLD, heading};
}

Decision wander(const Snapshot& s, BotState& state, const Self& me) {
    ZibberMemory& mem = state.memory[static_cast<size_t>(me.index)];
    if (length(avoidance(s, state, me, true)) > 0.0) {
        // Head back into the open and keep going that way for a while.
        mem.wanderUntil = s.tick + 10;
        return {ZB_ACTION_WALK, steer(s, state, me, Vec{}, true)};
    }
    if (s.tick < mem.wanderUntil) return {mem.sentKind < 0 ? 0 : mem.sentKind, mem.sentHeading};
    mem.wanderUntil = s.tick + 10 + static_cast<uint32_t>(nextUniform(state.rng) * 30.0);
    double roll = nextUniform(state.rng);
    int32_t kind = roll < 0.6 ? ZB_ACTION_WALK : roll < 0.8 ? ZB_ACTION_TAP : ZB_ACTION_HOLD;
    return {kind, nextUniform(state.rng) * kTwoPi};
}

Decision decide(const Snapshot& s, BotState& state, const Self& me) {
    switch (state.policyOf[static_cast<size_t>(me.index)]) {
        case BotPolicy::collector: return collect(s, state, me);
        case BotPolicy::hunter: return hunt(s, state, me);
        case BotPolicy::charger:
            if (me.kind == ZB_KIND_DASHER) return chargeAndDash(s, state, me);
            if (me.kind == ZB_KIND_SHOOTER) return chargeAndShoot(s, state, me);
            return hunt(s, state, me);
        case BotPolicy::random: return wander(s, state, me);
    }
    return {};
}

}  // namespace

std::string_view policyName(BotPolicy policy) {
    switch (policy) {
        case BotPolicy::collector: return "collector";
        case BotPolicy::hunter: return "hunter";
        case BotPolicy::charger: return "charger";
        case BotPolicy::random: return "random";
    }
    return "?";
}

std::optional<BotPolicy> policyFromName(std::string_view name) {
    for (BotPolicy policy : kAllPolicies)
        if (policyName(policy) == name) return policy;
    return std::nullopt;
}

BotState makeBotState(const std::vector<int32_t>& sizes, const std::vector<BotPolicy>& teamPolicies, uint64_t seed) {
    BotState state;
    for (size_t t = 0; t < sizes.size(); ++t)
        for (int32_t k = 0; k < sizes[t]; ++k) {
            state.teamOf.push_back(static_cast<int32_t>(t));
            state.policyOf.push_back(teamPolicies[t]);
        }
    state.memory.resize(state.teamOf.size());
    // Decorrelated from the World's own generator, which uses the same seed.
    state.rng.state = seed ^ 0x5bd1e9955bd1e995ull;
    return state;
}

void decideActions(const Snapshot& snapshot, BotState& state, std::vector<ActionCall>& out) {
    int count = std::min<int>(snapshot.numZibbers, static_cast<int>(state.teamOf.size()));
    for (int i = 0; i < count; ++i) {
        if (!isAlive(snapshot, i)) continue;
        Self me = selfOf(snapshot, state, i);
        Decision d = decide(snapshot, state, me);
        ZibberMemory& mem = state.memory[static_cast<size_t>(i)];
        bool changed = d.kind == ZB_ACTION_TAP || d.kind != mem.sentKind ||
                       std::fabs(angleDiff(mem.sentHeading, d.heading)) > kResendAngle;
        if (d.kind == ZB_ACTION_TAP && (me.speed >= ZB_DASH_SPEED_LIMIT || me.stunTicks > 0)) changed = false;
        if (!changed) continue;
        out.push_back({i, d.kind, d.heading});
        // A tap lasts one step and leaves the zibber walking the same way.
        mem.sentKind = d.kind == ZB_ACTION_TAP ? ZB_ACTION_WALK : d.kind;
        mem.sentHeading = d.heading;
    }
}

}  // namespace zbhost
