#include <gtest/gtest.h>

#include "options.h"

namespace {

using namespace zbhost;

TEST(Options, teamsAndSizesAcceptValidShapesAndRejectTooManyZibbers) {
    std::vector<int32_t> sizes;
    std::string error;
    ASSERT_TRUE(parseTeamsOption("4x4", sizes, error)) << error;
    EXPECT_EQ(sizes, (std::vector<int32_t>{4, 4, 4, 4}));
    ASSERT_TRUE(parseSizesOption("3,5,0,2", sizes, error)) << error;
    EXPECT_EQ(sizes, (std::vector<int32_t>{3, 5, 0, 2}));
    ASSERT_TRUE(parseTeamsOption("1x251", sizes, error)) << error;

    EXPECT_FALSE(parseTeamsOption("2x126", sizes, error));
    EXPECT_NE(error.find("252 zibbers"), std::string::npos) << error;
    EXPECT_FALSE(parseSizesOption("200,52", sizes, error));
    EXPECT_NE(error.find("252 zibbers"), std::string::npos) << error;
    for (const char* bad : {"4", "4x", "x4", "0x4", "4x0", "4x-1", "4x4x4", "ax4"})
        EXPECT_FALSE(parseTeamsOption(bad, sizes, error)) << bad;
    for (const char* bad : {"", "3,", ",3", "3,,2", "-1,4", "3;5", "0,0"})
        EXPECT_FALSE(parseSizesOption(bad, sizes, error)) << bad;
}

TEST(Options, seedsAreDecimalOrHexAndNothingElse) {
    uint64_t seed = 0;
    std::string error;
    ASSERT_TRUE(parseSeedOption("42", seed, error));
    EXPECT_EQ(seed, 42u);
    ASSERT_TRUE(parseSeedOption("0xffffffffffffffff", seed, error));
    EXPECT_EQ(seed, UINT64_MAX);
    for (const char* bad : {"", "-1", "0x", "12a", "18446744073709551616", "0x1g"})
        EXPECT_FALSE(parseSeedOption(bad, seed, error)) << bad;
}

TEST(Options, kindsCycleOverEachTeamAndRandomPassesNull) {
    KindsChoice choice;
    std::string error;
    ASSERT_TRUE(parseKindsOption("0,2", choice, error));
    EXPECT_EQ(expandKinds(choice, {3, 1}), (std::vector<int32_t>{0, 2, 0, 0}));
    ASSERT_TRUE(parseKindsOption("mixed", choice, error));
    EXPECT_EQ(expandKinds(choice, {5}), (std::vector<int32_t>{0, 1, 2, 3, 0}));
    ASSERT_TRUE(parseKindsOption("random", choice, error));
    EXPECT_TRUE(choice.random);
    EXPECT_TRUE(expandKinds(choice, {5}).empty());
    for (const char* bad : {"4", "-1", "0,,1", "mixd", ""}) EXPECT_FALSE(parseKindsOption(bad, choice, error)) << bad;
}

TEST(Options, botsAreOneForAllOrOnePerTeam) {
    std::vector<BotPolicy> bots;
    std::string error;
    ASSERT_TRUE(parseBotsOption("hunter", 3, bots, error));
    EXPECT_EQ(bots, std::vector<BotPolicy>(3, BotPolicy::hunter));
    ASSERT_TRUE(parseBotsOption("random,charger", 2, bots, error));
    EXPECT_EQ(bots, (std::vector<BotPolicy>{BotPolicy::random, BotPolicy::charger}));
    ASSERT_TRUE(parseBotsOption("mix", 5, bots, error));
    EXPECT_EQ(bots.size(), 5u);
    EXPECT_FALSE(parseBotsOption("hunter,collector", 3, bots, error));
    EXPECT_NE(error.find("2 bots for 3 teams"), std::string::npos) << error;
    EXPECT_FALSE(parseBotsOption("hunter,sniper", 2, bots, error));
    EXPECT_NE(error.find("'sniper'"), std::string::npos) << error;
}

}  // namespace
