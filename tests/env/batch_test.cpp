// The C interface of a batch: bots-only matches as `zibber play` plays them,
// results that do not depend on threads, restarts, and refused input.
#include <gtest/gtest.h>
#include <zibber_env.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/match.h"

namespace {

struct Outputs {
    std::vector<float> obs, rewards, finalObs;
    std::vector<uint8_t> terminated, truncated, alive, ended;
    std::vector<env_episode> episodes;
    std::vector<int32_t> teamScores;
};

struct BatchDeleter {
    void operator()(env_batch* b) const { env_destroy(b); }
};
using Batch = std::unique_ptr<env_batch, BatchDeleter>;

Batch makeBatch(env_config config, Outputs& out) {
    char error[256] = "";
    Batch batch(env_create(&config, error, sizeof error));
    EXPECT_TRUE(batch) << error;
    if (!batch) return batch;
    auto rows = static_cast<size_t>(config.numEnvs * env_num_agents(batch.get()));
    auto obs = rows * static_cast<size_t>(env_observation_size(batch.get()));
    out = Outputs{std::vector<float>(obs),
                  std::vector<float>(rows),
                  std::vector<float>(obs),
                  std::vector<uint8_t>(rows),
                  std::vector<uint8_t>(rows),
                  std::vector<uint8_t>(rows),
                  std::vector<uint8_t>(config.numEnvs),
                  std::vector<env_episode>(config.numEnvs),
                  std::vector<int32_t>(config.numEnvs * config.numTeams)};
    env_buffers buffers{out.obs.data(),       out.rewards.data(),  out.terminated.data(),
                        out.truncated.data(), out.alive.data(),    out.ended.data(),
                        out.finalObs.data(),  out.episodes.data(), out.teamScores.data()};
    EXPECT_EQ(env_set_buffers(batch.get(), &buffers), 0);
    return batch;
}

env_config learners(const int32_t* sizes, int32_t teams, int32_t envs) {
    env_config c;
    env_default_config(&c);
    c.numEnvs = envs;
    c.numTeams = teams;
    c.sizes = sizes;
    return c;
}

TEST(Batch, BotsOnlyMatchEndsAsZibberPlayEndsIt) {
    zbhost::MatchSetup setup;
    setup.seed = 77;
    setup.sizes = {2, 3};
    setup.kinds = zbhost::mixedKinds(setup.sizes);
    setup.teamPolicies = {zbhost::BotPolicy::charger, zbhost::BotPolicy::random};
    setup.maxSteps = 1500;
    zbhost::MatchResult played = zbhost::playMatch(setup, {});

    const int32_t teams[2] = {ENV_BOT_CHARGER, ENV_BOT_RANDOM};
    env_config c = learners(setup.sizes.data(), 2, 1);
    c.kinds = setup.kinds.data();
    c.teams = teams;
    c.maxSteps = setup.maxSteps;
    Outputs out;
    Batch batch = makeBatch(c, out);
    ASSERT_EQ(env_num_agents(batch.get()), 0);
    const uint64_t seed = setup.seed;
    ASSERT_EQ(env_reset(batch.get(), &seed), 0);
    int32_t steps = 0;
    while (env_step(batch.get(), nullptr, nullptr) == 0) ++steps;
    EXPECT_EQ(steps + 1u, played.ticks);
    EXPECT_EQ(out.episodes[0].hash, played.hash);
    EXPECT_EQ(out.episodes[0].ticks, played.ticks);
    EXPECT_EQ(out.episodes[0].seed, seed);
    EXPECT_EQ(out.teamScores[1], played.standings[1].score);
}

// Every buffer after every step of a batch of restarting matches.
std::vector<std::vector<float>> run(int32_t threads) {
    const int32_t sizes[2] = {2, 1};
    const int32_t teams[2] = {ENV_LEARNER, ENV_BOT_HUNTER};
    env_config c = learners(sizes, 2, 5);
    c.teams = teams;
    c.threads = threads;
    c.maxSteps = 70;
    Outputs out;
    Batch batch = makeBatch(c, out);
    env_reset(batch.get(), nullptr);
    std::mt19937_64 rng(5);
    std::vector<int32_t> kinds(10);
    std::vector<double> angles(10);
    std::vector<std::vector<float>> seen;
    for (int step = 0; step < 160; ++step) {
        for (size_t i = 0; i < kinds.size(); ++i) {
            kinds[i] = static_cast<int32_t>(rng() % 3);
            angles[i] = static_cast<double>(rng() % 628) / 100.0 - 3.14;
        }
        EXPECT_GE(env_step(batch.get(), kinds.data(), angles.data()), 0);
        seen.push_back(out.obs);
        seen.push_back(out.rewards);
        seen.emplace_back(out.alive.begin(), out.alive.end());
        seen.emplace_back(out.ended.begin(), out.ended.end());
        for (const env_episode& e : out.episodes) seen.push_back({float(e.hash), float(e.seed), float(e.ticks)});
    }
    return seen;
}

TEST(Batch, ThreadsDoNotChangeTheResults) {
    auto one = run(1);
    EXPECT_EQ(one, run(2));
    EXPECT_EQ(one, run(4));
}

TEST(Batch, AnEndedMatchReportsAndStartsTheNextSeed) {
    const int32_t sizes[2] = {1, 1};
    env_config c = learners(sizes, 2, 2);
    c.maxSteps = 4;
    c.deathPenalty = 3.0;
    Outputs out;
    Batch batch = makeBatch(c, out);
    const uint64_t seeds[2] = {11, 12};
    env_reset(batch.get(), seeds);
    const int32_t kinds[4] = {0, 1, 2, ENV_KEEP_ACTION};
    const double angles[4] = {0.5, -1, 2, NAN};  // a kept action needs no angle
    for (int step = 0; step < 3; ++step) ASSERT_EQ(env_step(batch.get(), kinds, angles), 0);
    std::vector<float> before = out.obs;
    ASSERT_EQ(env_step(batch.get(), kinds, angles), 2);
    EXPECT_EQ(out.truncated, std::vector<uint8_t>(4, 1));
    EXPECT_EQ(out.alive, std::vector<uint8_t>(4, 1));
    EXPECT_EQ(out.episodes[1].seed, 12u);
    EXPECT_EQ(out.episodes[1].ticks, 4u);
    EXPECT_NE(out.finalObs, before);
    EXPECT_NE(out.finalObs, out.obs);
    EXPECT_EQ(zb_tick(env_world(batch.get(), 0)), 0u);
    EXPECT_NE(out.episodes[0].hash, out.episodes[1].hash);
}

TEST(Batch, BadInputIsRefusedAndChangesNothing) {
    const int32_t sizes[2] = {1, 1}, badTeams[2] = {ENV_LEARNER, 9}, negative[2] = {1, -1};
    char error[256];
    env_config c = learners(sizes, 2, 1);
    c.teams = badTeams;
    EXPECT_EQ(env_create(&c, error, sizeof error), nullptr);
    EXPECT_STREQ(error, "teams[1] = 9 is neither ENV_LEARNER (-1) nor a bot (0 to 3)");
    c = learners(negative, 2, 1);
    EXPECT_EQ(env_create(&c, error, sizeof error), nullptr);
    EXPECT_STREQ(error, "sizes[1] is negative (-1)");

    c = learners(sizes, 2, 1);
    Outputs out;
    Batch batch = makeBatch(c, out);
    const int32_t walk[2] = {0, 0}, tooBig[2] = {0, 3};
    const double fine[2] = {0, 0}, nan[2] = {0, NAN};
    EXPECT_EQ(env_step(batch.get(), walk, fine), -1);
    EXPECT_STREQ(env_last_error(batch.get()), "call env_reset before env_step");
    env_reset(batch.get(), nullptr);
    EXPECT_EQ(env_step(batch.get(), tooBig, fine), -1);
    EXPECT_STREQ(env_last_error(batch.get()), "kind [0, 1] = 3 is not 0 (walk), 1 (tap), 2 (hold) or -1 (keep)");
    EXPECT_EQ(env_step(batch.get(), walk, nan), -1);
    EXPECT_STREQ(env_last_error(batch.get()), "angle [0, 1] is nan; angles must be finite");
    EXPECT_EQ(env_step(batch.get(), walk, nullptr), -1);
    EXPECT_EQ(zb_tick(env_world(batch.get(), 0)), 0u);
    EXPECT_EQ(env_step(nullptr, walk, fine), -1);
    EXPECT_EQ(env_world(batch.get(), 1), nullptr);
}

}  // namespace
