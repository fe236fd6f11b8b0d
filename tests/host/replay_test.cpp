// Call logs: their parser, writer and runner, and the per-part state hashes
// their check lines carry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "host/call_log.h"
#include "host/state_hash.h"

namespace {

using namespace zbhost;

std::vector<ReplayCall> parseOk(const std::string& text) {
    std::vector<ReplayCall> calls;
    std::string error;
    EXPECT_TRUE(parseReplay(text, calls, error)) << error;
    return calls;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ReplayWrite, roundTripsEveryDoubleExactly) {
    const double values[] = {0.1,
                             -0.0,
                             3.141592653589793,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::infinity(),
                             1e-300};
    ReplayWriter writer;
    writeCreate(writer, 0);
    for (double v : values) writeAction(writer, 0, 2, v);
    auto calls = parseOk(finishReplay(writer));
    ASSERT_EQ(calls.size(), 1 + std::size(values));
    for (size_t i = 0; i < std::size(values); ++i) EXPECT_TRUE(sameBits(calls[i + 1].value, values[i])) << values[i];
}

struct BadInput {
    const char* text;
    const char* message;  // expected within the error
};

TEST(ReplayParse, rejectsMalformedLinesNamingTheLine) {
    const BadInput cases[] = {
        {"create 0x1\njump 3\n", "line 2: unknown line kind 'jump'"},
        {"create 123\n", "line 1: seed '123' is not a 0x-prefixed"},
        {"create 0x\n", "line 1: seed"},
        {"create 0x1ffffffffffffffff\n", "line 1: seed"},
        {"create 0x1 0x2\n", "line 1: create: expected"},
        {"setup 2 sizes 1 kinds null\n", "line 1: setup: expected 2 team sizes"},
        {"setup -1 sizes kinds null\n", "line 1: setup: negative team count"},
        {"setup 1 sizes 2 kinds 1\n", "line 1: setup: 2 zibbers need 2 kinds"},
        {"setup 1 sizes 2 kinds 1 x\n", "line 1: kind 'x' is not a 32-bit integer"},
        {"setup 1 sizes 9999999999 kinds null\n", "line 1: team size"},
        {"step\naction 0 2\n", "line 2: action: expected"},
        {"action 0 2 abc\n", "line 1: value 'abc' is not a number"},
        {"action 0 2 0x1.8p+1x\n", "line 1: value"},
        {"action x 2 1.0\n", "line 1: index 'x'"},
        {"step -1\n", "line 1: step count '-1'"},
        {"step 2 3\n", "line 1: step: expected"},
        {"check 5\n", "line 1: check: expected"},
        {"check 5 0x1 zibberz=0x2\n", "line 1: check: unknown part 'zibberz=0x2'"},
        {"create 0x1\nstep\naction 0 2 0x1.8", "line 3: truncated"},
        {"step\n\x01\xfe 3\n", "line 2: unknown line kind '\\x01\\xfe'"},
    };
    for (const BadInput& c : cases) {
        std::vector<ReplayCall> calls;
        std::string error;
        EXPECT_FALSE(parseReplay(c.text, calls, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << "input: " << c.text << "\nerror: " << error;
    }
}

// The golden matches parse real logs (comments, every kind of setup) and the
// tool's record and replay cover check lines; here are the rest.
TEST(ReplayRun, skipsOutOfRangeActionsAndStopsWhenAHookSaysSo) {
    auto calls = parseOk(
        "create 0x1\r\n"
        "setup 1 sizes 1 kinds 0\n"
        "action 5 2 1.0\n"
        "action -1 2 1.0\n"
        "action 0 2 nan\n"
        "step 10\n");
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_TRUE(std::isnan(calls[4].value));
    int steps = 0;
    ReplayHooks hooks;
    hooks.afterStep = [&](const zb_world*) { return ++steps < 4; };
    WorldHandle world;
    EXPECT_FALSE(runReplay(calls, world, hooks));
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(zb_tick(world.get()), 4u);
}

// The total is pinned by the golden matches; the parts only name what differs
// at a failed checkpoint.
TEST(StateHash, aChangedValueChangesItsPartAndTheTotalOnly) {
    Snapshot s;
    s.numZibbers = 1;
    s.zibbers.assign(ZB_ZIBBER_WIDTH, 1.0);
    s.numParticles = 1;
    s.particles.assign(ZB_PARTICLE_WIDTH, 2.0);
    s.numTeams = 1;
    s.teamScores = {3};
    StateHash base = hashSnapshot(s);

    s.particles[ZB_PARTICLE_AMOUNT] = 2.5;
    StateHash changed = hashSnapshot(s);
    EXPECT_NE(changed.total, base.total);
    for (int part = 0; part < kPartCount; ++part) {
        if (part == kPartParticles)
            EXPECT_NE(changed.parts[part], base.parts[part]);
        else
            EXPECT_EQ(changed.parts[part], base.parts[part]) << partName(part);
    }
}

}  // namespace
