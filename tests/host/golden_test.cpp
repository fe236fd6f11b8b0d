// Replays each golden match through the public interface and compares the
// state hash after every step with the recorded one.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
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

std::string matchPath(int match, const char* suffix) {
    char name[32];
    std::snprintf(name, sizeof name, "/match-%02d%s", match, suffix);
    return std::string(ZIBBER_GOLDEN_DIR) + name;
}

// "tick T hash H" after every step, then "final tick T hash H", as lines
// "T H" with the final one last.
std::vector<std::string> readHashes(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << "cannot open " << path;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        const size_t start = line.rfind("final ", 0) == 0 ? 6 : 0;
        const size_t hash = line.find(" hash ");
        if (line.compare(start, 5, "tick ") != 0 || hash == std::string::npos) {
            EXPECT_TRUE(line.empty()) << path << ": unexpected line '" << line << "'";
            continue;
        }
        lines.push_back(line.substr(start + 5, hash - start - 5) + " " + line.substr(hash + 6));
    }
    return lines;
}

std::string tickAndHash(const zb_world* world) {
    return std::to_string(zb_tick(world)) + " " + formatHash(hashWorld(world));
}

class GoldenMatch : public testing::TestWithParam<int> {};

TEST_P(GoldenMatch, reproducesTheHashAfterEveryStep) {
    const int match = GetParam();
    std::vector<ReplayCall> calls;
    std::string error;
    ASSERT_TRUE(readReplayFile(matchPath(match, ".replay"), calls, error)) << error;
    const std::vector<std::string> expected = readHashes(matchPath(match, kHashesSuffix));
    ASSERT_GE(expected.size(), 2u);

    size_t step = 0;
    std::string mismatch;
    ReplayHooks hooks;
    hooks.afterStep = [&](const zb_world* world) {
        const std::string got = tickAndHash(world);
        if (step + 1 < expected.size() && got == expected[step]) {
            ++step;
            return true;
        }
        mismatch = "first difference at step " + std::to_string(step + 1) + ": expected " +
                   (step + 1 < expected.size() ? expected[step] : "no more steps") + ", got " + got;
        return false;
    };
    WorldHandle world;
    ASSERT_TRUE(runReplay(calls, world, hooks)) << mismatch;
    EXPECT_EQ(step + 1, expected.size()) << "the replay made fewer steps than recorded";
    EXPECT_EQ(tickAndHash(world.get()), expected.back()) << "final state differs";
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenMatch, testing::Range(1, 11), [](const testing::TestParamInfo<int>& info) {
    char name[16];
    std::snprintf(name, sizeof name, "match_%02d", info.param);
    return std::string(name);
});

}  // namespace
