// Replays each golden match through the public interface and compares the
// state hash after every step with the recorded one.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/call_log.h"
#include "host/state_hash.h"

namespace {

using namespace zbhost;

#ifdef ZIBBER_PLATFORM_MATH
constexpr const char* kHashesSuffix = ".hashes";
#else
constexpr const char* kHashesSuffix = ".exact.hashes";
#endif

struct TickHash {
    uint32_t tick;
    uint64_t hash;
};

struct ExpectedHashes {
    std::vector<TickHash> steps;
    bool hasFinal = false;
    TickHash final{};
};

std::string matchPath(int match, const char* suffix) {
    char name[32];
    std::snprintf(name, sizeof name, "/match-%02d%s", match, suffix);
    return std::string(ZIBBER_GOLDEN_DIR) + name;
}

ExpectedHashes readHashes(const std::string& path) {
    ExpectedHashes expected;
    std::ifstream in(path);
    EXPECT_TRUE(in) << "cannot open " << path;
    std::string line;
    while (std::getline(in, line)) {
        TickHash entry{};
        if (std::sscanf(line.c_str(), "tick %" SCNu32 " hash %" SCNx64, &entry.tick, &entry.hash) == 2) {
            expected.steps.push_back(entry);
        } else if (std::sscanf(line.c_str(), "final tick %" SCNu32 " hash %" SCNx64, &entry.tick, &entry.hash) == 2) {
            expected.hasFinal = true;
            expected.final = entry;
        } else {
            EXPECT_TRUE(line.empty()) << path << ": unexpected line '" << line << "'";
        }
    }
    return expected;
}

class GoldenMatch : public testing::TestWithParam<int> {};

TEST_P(GoldenMatch, reproducesTheHashAfterEveryStep) {
    int match = GetParam();
    std::vector<ReplayCall> calls;
    std::string error;
    ASSERT_TRUE(readReplayFile(matchPath(match, ".replay"), calls, error)) << error;
    ExpectedHashes expected = readHashes(matchPath(match, kHashesSuffix));
    ASSERT_FALSE(expected.steps.empty());
    ASSERT_TRUE(expected.hasFinal);

    size_t step = 0;
    std::string mismatch;
    ReplayHooks hooks;
    hooks.afterStep = [&](const zb_world* world) {
        uint32_t tick = zb_tick(world);
        uint64_t hash = hashWorld(world);
        if (step >= expected.steps.size()) {
            mismatch = "more steps than recorded: tick " + std::to_string(tick);
            return false;
        }
        const TickHash& want = expected.steps[step++];
        if (tick == want.tick && hash == want.hash) return true;
        mismatch = "first difference at step " + std::to_string(step) + ": expected tick " + std::to_string(want.tick) +
                   " hash " + formatHash(want.hash) + ", got tick " + std::to_string(tick) + " hash " +
                   formatHash(hash);
        return false;
    };
    WorldHandle world;
    ASSERT_TRUE(runReplay(calls, world, hooks)) << mismatch;
    EXPECT_EQ(step, expected.steps.size()) << "the replay made fewer steps than recorded";
    EXPECT_EQ(zb_tick(world.get()), expected.final.tick);
    EXPECT_EQ(formatHash(hashWorld(world.get())), formatHash(expected.final.hash)) << "final state differs";
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenMatch, testing::Range(1, 11), [](const testing::TestParamInfo<int>& info) {
    char name[16];
    std::snprintf(name, sizeof name, "match_%02d", info.param);
    return std::string(name);
});

}  // namespace
