// A hostile caller: the input decodes into calls of all 24 functions with any
// arguments a C caller may pass while honouring the header's preconditions
// (setup arrays as long as the count says, buffers sized from the counts).
// Every call goes to two Worlds made by the same calls; after it both must
// export the same bits and the invariants below must hold.
#include <fuzzer/FuzzedDataProvider.h>
#include <zibber.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Export buffers start filled with this NaN, which no export writes: one left
// over marks an element that the count promised and the export skipped.
const double kUnwritten = std::bit_cast<double>(0x7ff4c0ffee0badULL);
// Point, ruby and projectile ids are 16-bit; obstacles have 251 ids.
constexpr double kLargePoolEnd = 65535.0;
constexpr double kObstaclePoolEnd = 255.0;
// A harmless obstacle reaches up to this much beyond its radius.
constexpr double kMaxPulseSwell = 0.4;
// Work one input may ask for, so that inputs stay fast: a step costs one unit
// and one more per living zibber, so an empty arena may step by the thousand.
constexpr int64_t kWorkBudget = 2000;

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

uint64_t bitsOf(double v) { return std::bit_cast<uint64_t>(v); }

struct Export {
    int32_t (*count)(const zb_world*);
    void (*read)(const zb_world*, double*);
    int width;
    int idColumn;  // -1: no ids
    double idEnd;  // ids lie in [4, idEnd)
};
enum { kZibbers, kPoints, kRubys, kObstacles, kProjectiles, kParticles, kRemovals, kExportCount };
const Export kExports[kExportCount] = {
    {zb_num_zibbers, zb_zibbers, ZB_ZIBBER_WIDTH, ZB_ZIBBER_ID, ZB_MAX_ZIBBERS + 4},
    {zb_num_points, zb_points, ZB_POINT_WIDTH, ZB_POINT_ID, kLargePoolEnd},
    {zb_num_rubys, zb_rubys, ZB_RUBY_WIDTH, ZB_RUBY_ID, kLargePoolEnd},
    {zb_num_obstacles, zb_obstacles, ZB_OBSTACLE_WIDTH, ZB_OBSTACLE_ID, kObstaclePoolEnd},
    {zb_num_projectiles, zb_projectiles, ZB_PROJECTILE_WIDTH, ZB_PROJECTILE_ID, kLargePoolEnd},
    {zb_num_particles, zb_particles, ZB_PARTICLE_WIDTH, -1, 0.0},
    {zb_num_removals, zb_removals, ZB_REMOVAL_WIDTH, ZB_REMOVAL_ID, kLargePoolEnd},
};

// Everything a host can read. Buffers are reused from call to call: fresh
// ones would cost more time in page faults than the step itself.
struct State {
    uint32_t tick = 0;
    double mapSize = 0.0;
    bool over = false;
    std::vector<int32_t> scores;
    std::vector<double> arrays[kExportCount];

    const double* zibber(size_t i) const { return &arrays[kZibbers][i * ZB_ZIBBER_WIDTH]; }
    size_t count(int e) const { return arrays[e].size() / static_cast<size_t>(kExports[e].width); }
    bool operator==(const State& o) const {
        if (tick != o.tick || bitsOf(mapSize) != bitsOf(o.mapSize) || over != o.over || scores != o.scores)
            return false;
        for (int e = 0; e < kExportCount; ++e) {
            if (arrays[e].size() != o.arrays[e].size()) return false;
            if (!arrays[e].empty() &&
                std::memcmp(arrays[e].data(), o.arrays[e].data(), arrays[e].size() * sizeof(double)) != 0)
                return false;
        }
        return true;
    }
};

// Each export is read into a buffer one element longer than its count, all
// of it unwritten at first: the counted part must come back fully written
// and the extra element untouched.
void capture(const zb_world* w, State& s) {
    s.tick = zb_tick(w);
    s.mapSize = zb_map_size(w);
    s.over = zb_is_over(w);
    const int32_t teams = zb_num_teams(w);
    require(teams >= 0, "negative team count");
    s.scores.resize(static_cast<size_t>(teams));
    zb_team_scores(w, s.scores.data());
    for (int e = 0; e < kExportCount; ++e) {
        const int32_t n = kExports[e].count(w);
        require(n >= 0, "negative count");
        const size_t used = static_cast<size_t>(n) * static_cast<size_t>(kExports[e].width);
        std::vector<double>& a = s.arrays[e];
        a.assign(used + static_cast<size_t>(kExports[e].width), kUnwritten);
        kExports[e].read(w, a.data());
        for (size_t i = used; i < a.size(); ++i)
            require(bitsOf(a[i]) == bitsOf(kUnwritten), "an export wrote beyond its count");
        a.resize(used);
        for (double v : a) {
            require(bitsOf(v) != bitsOf(kUnwritten), "an export wrote fewer elements than its count");
            require(std::isfinite(v), "an export holds a non-finite value");
        }
    }
}

// Every id marks its slot with a stamp fresh for each export; a slot already
// stamped is an id used twice.
void requireIds(const State& s) {
    static std::vector<uint32_t> stampOf(static_cast<size_t>(kLargePoolEnd));
    static uint32_t stamp = 0;
    for (int e = 0; e < kExportCount; ++e) {
        const Export& x = kExports[e];
        if (x.idColumn < 0) continue;
        ++stamp;
        for (size_t i = 0, n = s.count(e); i < n; ++i) {
            const double id = s.arrays[e][i * x.width + x.idColumn];
            require(id >= 4.0 && id < x.idEnd && id == std::trunc(id), "id outside its pool");
            uint32_t& mark = stampOf[static_cast<size_t>(id)];
            require(mark != stamp, "id used twice");
            mark = stamp;
        }
    }
}

// The farthest from the centre the rules let a living zibber of radius r end
// a step. Its own update leaves it within mapSize - r; each separation from
// another living zibber moves it by at most half their radii; a ruby leaves it
// touching the ruby, which lies within |mapSize - ruby radius|; an obstacle
// leaves it touching the obstacle's reach.
double reachBound(const State& before, const State& after, double r) {
    const double m = before.mapSize;
    int64_t living = 0;
    for (size_t i = 0; i < before.count(kZibbers); ++i) living += before.zibber(i)[ZB_ZIBBER_ALIVE] != 0.0;
    double bound = m - r + static_cast<double>(std::max<int64_t>(living - 1, 0)) * ZB_BURST_RADIUS;
    for (const State* s : {&before, &after}) {
        for (size_t i = 0; i < s->count(kRubys); ++i) {
            const double scale = s->arrays[kRubys][i * ZB_RUBY_WIDTH + ZB_RUBY_SCALE];
            bound = std::max(bound, std::max(m, 2.0 * scale - m) + r);
        }
    }
    for (size_t i = 0; i < after.count(kObstacles); ++i) {
        const double* o = &after.arrays[kObstacles][i * ZB_OBSTACLE_WIDTH];
        double far = std::hypot(o[ZB_OBSTACLE_AX], o[ZB_OBSTACLE_AY]);
        if (o[ZB_OBSTACLE_IS_CIRCLE] == 0.0) far = std::max(far, std::hypot(o[ZB_OBSTACLE_BX], o[ZB_OBSTACLE_BY]));
        bound = std::max(bound, far + o[ZB_OBSTACLE_RADIUS] + kMaxPulseSwell + r);
    }
    return bound * (1.0 + 1e-12) + 1e-9;
}

struct Slot {
    zb_world* a = nullptr;
    zb_world* b = nullptr;  // the twin: same calls, same bits
    uint32_t steps = 0;
    int64_t freeZibberIds = ZB_MAX_ZIBBERS;
    State last;    // after the latest call
    State before;  // before it
    State twin;    // b after the latest call
};

// Reads both Worlds after a call, compares them and checks what holds after
// any call.
void settle(Slot& slot) {
    std::swap(slot.before, slot.last);
    capture(slot.a, slot.last);
    capture(slot.b, slot.twin);
    const State& s = slot.last;
    require(s == slot.twin, "two Worlds given the same calls differ");
    require(s.tick == slot.steps, "tick does not count the steps");
    require(s.mapSize >= 10.0 && s.mapSize <= ZB_START_MAP_SIZE, "arena radius out of its range");
    require(s.over || !slot.before.over, "the match ended and then resumed");
    requireIds(s);
    for (size_t i = 0; i < s.count(kZibbers); ++i) {
        const double* z = s.zibber(i);
        if (z[ZB_ZIBBER_ALIVE] != 0.0) require(z[ZB_ZIBBER_RADIUS] <= ZB_BURST_RADIUS, "living zibber too big");
    }
}

// Returns how many zibbers are alive.
int64_t stepOnce(Slot& slot) {
    zb_step(slot.a);
    zb_step(slot.b);
    ++slot.steps;
    settle(slot);
    const State& before = slot.before;
    const State& after = slot.last;
    require(after.scores.size() == before.scores.size(), "a step changed the team count");
    for (size_t t = 0; t < after.scores.size(); ++t) require(after.scores[t] >= before.scores[t], "team score fell");
    require(after.count(kZibbers) == before.count(kZibbers), "a step changed the zibber count");
    int64_t living = 0;
    for (size_t i = 0; i < after.count(kZibbers); ++i) {
        const double* z = after.zibber(i);
        const bool wasAlive = before.zibber(i)[ZB_ZIBBER_ALIVE] != 0.0;
        if (z[ZB_ZIBBER_ALIVE] == 0.0) {
            slot.freeZibberIds += wasAlive;  // a burst gives its id back
            continue;
        }
        require(wasAlive, "a dead zibber came back");
        ++living;
        const double r = z[ZB_ZIBBER_RADIUS];
        require(std::hypot(z[ZB_ZIBBER_X], z[ZB_ZIBBER_Y]) <= reachBound(before, after, r),
                "a living zibber ended a step farther out than any rule can put it");
    }
    require(living > 0 || after.over, "no zibber alive but the match is not over");
    return living;
}

double anyAngle(FuzzedDataProvider& in) {
    using L = std::numeric_limits<double>;
    const double special[] = {L::quiet_NaN(), L::infinity(), -L::infinity(), L::denorm_min(), -L::denorm_min(),
                              L::max(),       -L::max(),     1e300,          -1e17,           -0.0};
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: return in.PickValueInArray(special);
        case 1: return std::bit_cast<double>(in.ConsumeIntegral<uint64_t>());
        default: return in.ConsumeFloatingPointInRange(-10.0, 10.0);
    }
}

int32_t anyInt(FuzzedDataProvider& in, int32_t low, int32_t high) {
    return in.ConsumeBool() ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange(low, high);
}

void doSetup(FuzzedDataProvider& in, Slot& slot) {
    int32_t count;
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: count = in.ConsumeIntegralInRange(-2, 12); break;
        case 1: count = in.ConsumeIntegralInRange(0, 2000); break;
        default: count = in.ConsumeIntegralInRange(std::numeric_limits<int32_t>::min(), -1); break;
    }
    const bool nullSizes = in.ConsumeIntegralInRange(0, 15) == 0;
    std::vector<int32_t> sizes(static_cast<size_t>(std::max(count, 0)));
    int64_t total = 0;
    for (int32_t& size : sizes) {
        size = in.ConsumeIntegralInRange(0, 7) == 0 ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange(-1, 40);
        total += std::max(size, 0);
    }
    // kinds must hold one entry per zibber; beyond any pool it stays null.
    std::vector<int32_t> kinds;
    const bool nullKinds = total > 4 * ZB_MAX_ZIBBERS || in.ConsumeBool();
    if (!nullKinds) {
        kinds.resize(static_cast<size_t>(total));
        for (int32_t& kind : kinds) kind = anyInt(in, -2, ZB_KIND_COUNT + 1);
    }
    const int32_t* sizesArg = nullSizes ? nullptr : sizes.data();
    const int32_t* kindsArg = nullKinds ? nullptr : kinds.data();
    if (slot.a == nullptr) {
        zb_setup(nullptr, sizesArg, count, kindsArg);
        return;
    }
    zb_setup(slot.a, sizesArg, count, kindsArg);
    zb_setup(slot.b, sizesArg, count, kindsArg);
    settle(slot);
    const State& before = slot.before;
    const State& after = slot.last;
    const bool possible = count >= 0 && (count == 0 || !nullSizes) && total <= slot.freeZibberIds;
    if (!possible) {
        require(after == before, "an impossible setup changed the World");
        return;
    }
    slot.freeZibberIds -= total;
    require(after.scores == std::vector<int32_t>(static_cast<size_t>(count), 0), "setup left team scores");
    require(after.count(kZibbers) == static_cast<size_t>(total), "setup made the wrong number of zibbers");
    require(after.count(kRubys) - before.count(kRubys) <= 1, "setup dropped more than one ruby");
    for (size_t i = 0; i < after.count(kZibbers); ++i) {
        const double* z = after.zibber(i);
        const double kind = z[ZB_ZIBBER_KIND];
        require(z[ZB_ZIBBER_ALIVE] == 1.0 && z[ZB_ZIBBER_RADIUS] == 1.0, "a new zibber is not fresh");
        if (!nullKinds && kinds[i] >= 0) require(kind == kinds[i], "setup ignored a given kind");
        if (nullKinds || kinds[i] < 0)
            require(kind >= 0.0 && kind < static_cast<double>(ZB_KIND_COUNT), "a drawn kind out of range");
    }
}

void doAction(FuzzedDataProvider& in, Slot& slot) {
    const int32_t count = zb_num_zibbers(slot.a);
    const int32_t index = anyInt(in, -1, count);
    const int32_t kind = anyInt(in, -1, ZB_ACTION_HOLD + 1);
    const double value = anyAngle(in);
    zb_set_action(slot.a, index, kind, value);
    if (slot.a == nullptr) return;
    zb_set_action(slot.b, index, kind, value);
    settle(slot);
    // Only the target heading is visible, and only a finite value sets it.
    if (index >= 0 && index < count && std::isfinite(value))
        slot.before.arrays[kZibbers][static_cast<size_t>(index) * ZB_ZIBBER_WIDTH + ZB_ZIBBER_TARGET_HEADING] = value;
    require(slot.last == slot.before, "an action changed more than its target heading");
}

// Reads with a null World must answer 0 and leave a live buffer alone; reads
// into a null buffer must not crash.
void doRead(FuzzedDataProvider& in, const Slot& slot) {
    const zb_world* w = slot.a;
    if (w == nullptr) {
        require(zb_tick(w) == 0 && zb_map_size(w) == 0.0 && !zb_is_over(w) && zb_num_teams(w) == 0,
                "a null World reads as nonzero");
        for (const Export& x : kExports) require(x.count(w) == 0, "a null World counts something");
    }
    const int which = in.ConsumeIntegralInRange<int>(0, kExportCount);
    const bool nullBuffer = in.ConsumeBool();
    double guard[ZB_ZIBBER_WIDTH] = {kUnwritten};
    if (w != nullptr && !nullBuffer) return;  // every settle reads into live buffers
    if (which == kExportCount) {
        int32_t score = 7;
        zb_team_scores(w, nullBuffer ? nullptr : &score);
        require(score == 7, "a null World wrote a team score");
    } else {
        kExports[which].read(w, nullBuffer ? nullptr : guard);
        require(bitsOf(guard[0]) == bitsOf(kUnwritten), "a null World wrote an export");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Slot slots[2];
    int64_t workLeft = kWorkBudget;
    while (in.remaining_bytes() > 0) {
        const int op = in.ConsumeIntegralInRange(0, 6);
        // Slot 2 stands for a null World.
        Slot nullSlot;
        const int which = in.ConsumeIntegralInRange(0, 2);
        Slot& slot = which < 2 ? slots[which] : nullSlot;
        if (op == 0 && which < 2) {
            zb_destroy(slot.a);
            zb_destroy(slot.b);
            const uint64_t seed = in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint64_t>();
            slot = Slot{};
            slot.a = zb_create(seed);
            slot.b = zb_create(seed);
            settle(slot);
            require(slot.last.mapSize == ZB_START_MAP_SIZE && slot.last.count(kZibbers) == 0,
                    "a new World is not empty");
        } else if (op == 1) {
            zb_destroy(slot.a);
            zb_destroy(slot.b);
            slot = Slot{};
        } else if (op == 2) {
            doSetup(in, slot);
        } else if (op == 3) {
            doAction(in, slot);
        } else if (op == 4) {
            const int steps = in.ConsumeIntegralInRange(0, 7) != 0 ? in.ConsumeIntegralInRange(1, 8)
                                                                   : in.ConsumeIntegralInRange(1, 4000);
            for (int i = 0; i < steps && workLeft > 0; ++i) {
                if (slot.a == nullptr) {
                    zb_step(nullptr);
                    --workLeft;
                } else {
                    workLeft -= 1 + stepOnce(slot);
                }
            }
        } else {
            doRead(in, slot);
        }
    }
    for (Slot& slot : slots) {
        zb_destroy(slot.a);
        zb_destroy(slot.b);
    }
    return 0;
}
