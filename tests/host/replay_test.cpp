#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "host/call_log.h"

namespace {

using namespace zbhost;

std::vector<ReplayCall> parseOk(const std::string& text) {
    std::vector<ReplayCall> calls;
    std::string error;
    EXPECT_TRUE(parseReplay(text, calls, error)) << error;
    return calls;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ReplayParse, readsEveryLineKind) {
    auto calls = parseOk(
        "# a comment\n"
        "\n"
        "create 0x9e3779b97f4a7c15\n"
        "setup 3 sizes 2 0 1 kinds 7 -1 -2147483648\n"
        "setup 1 sizes 4 kinds null\r\n"
        "action 2 1 -0x1.8p+1\n"
        "action 0 2 inf\n"
        "action 0 7 nan\n"
        "step\n"
        "step 12\n"
        "check 13 0x00000000000000ff zibbers=0x2 removals=0x3\n");
    ASSERT_EQ(calls.size(), 9u);
    EXPECT_EQ(calls[0].kind, CallKind::create);
    EXPECT_EQ(calls[0].seed, 0x9e3779b97f4a7c15ull);
    EXPECT_EQ(calls[0].line, 3);
    EXPECT_EQ(calls[1].sizes, (std::vector<int32_t>{2, 0, 1}));
    EXPECT_FALSE(calls[1].kindsNull);
    EXPECT_EQ(calls[1].kinds, (std::vector<int32_t>{7, -1, INT32_MIN}));
    EXPECT_TRUE(calls[2].kindsNull);
    EXPECT_EQ(calls[3].index, 2);
    EXPECT_EQ(calls[3].actionKind, 1);
    EXPECT_EQ(calls[3].value, -3.0);
    EXPECT_TRUE(std::isinf(calls[4].value));
    EXPECT_TRUE(std::isnan(calls[5].value));
    EXPECT_EQ(calls[5].actionKind, 7);
    EXPECT_EQ(calls[6].steps, 1u);
    EXPECT_EQ(calls[7].steps, 12u);
    EXPECT_EQ(calls[8].checkTick, 13u);
    EXPECT_EQ(calls[8].checkHash, 0xffu);
    EXPECT_EQ(calls[8].checkPartMask, (1u << kPartZibbers) | (1u << kPartRemovals));
    EXPECT_EQ(calls[8].checkParts[kPartRemovals], 3u);
}

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

TEST(ReplayWrite, collapsesConsecutiveStepsAndRoundTripsSetupAndChecks) {
    ReplayWriter writer;
    writeCreate(writer, 0xabcdefull);
    std::vector<int32_t> sizes{1, 2};
    int32_t kinds[] = {0, 3, -1};
    writeSetup(writer, sizes, kinds, 3);
    writeSetup(writer, sizes, nullptr, 0);
    for (int i = 0; i < 3; ++i) writeStep(writer);
    writeAction(writer, 1, 1, 0.5);
    writeStep(writer);
    StateHash hash;
    hash.total = 42;
    hash.parts.fill(7);
    writeCheck(writer, 4, hash);
    const std::string& text = finishReplay(writer);
    EXPECT_NE(text.find("step 3\naction"), std::string::npos) << text;
    EXPECT_NE(text.find("\nstep\ncheck"), std::string::npos) << text;

    auto calls = parseOk(text);
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].seed, 0xabcdefull);
    EXPECT_EQ(calls[1].kinds, (std::vector<int32_t>{0, 3, -1}));
    EXPECT_TRUE(calls[2].kindsNull);
    EXPECT_EQ(calls[3].steps, 3u);
    EXPECT_EQ(calls[6].checkHash, 42u);
    EXPECT_EQ(calls[6].checkPartMask, (1u << kPartCount) - 1);
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

TEST(ReplayRun, skipsOutOfRangeActionsAndStopsWhenAHookSaysSo) {
    auto calls = parseOk(
        "create 0x1\n"
        "setup 1 sizes 1 kinds 0\n"
        "action 5 2 1.0\n"
        "action -1 2 1.0\n"
        "step 10\n");
    int steps = 0;
    ReplayHooks hooks;
    hooks.afterStep = [&](const zb_world*) { return ++steps < 4; };
    WorldHandle world;
    EXPECT_FALSE(runReplay(calls, world, hooks));
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(zb_tick(world.get()), 4u);
}

}  // namespace
