// Runs the zibber tool as a user would and checks exit codes and messages.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

class Cli : public testing::Test {
  protected:
    std::string dir;

    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir = testing::TempDir() + "zibber-cli-" + info->name() + "-" + std::to_string(getpid());
        std::system(("mkdir -p '" + dir + "'").c_str());
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string path(const char* name) const { return dir + "/" + name; }

    ToolRun run(const std::string& args) const {
        std::string out = path("stdout");
        std::string err = path("stderr");
        std::string command =
            std::string("'") + ZIBBER_CLI_PATH + "' " + args + " >'" + out + "' 2>'" + err + "' </dev/null";
        int status = std::system(command.c_str());
        ToolRun result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readFile(out);
        result.err = readFile(err);
        return result;
    }

    void write(const char* name, const std::string& text) const { std::ofstream(path(name)) << text; }
};

std::string finalLine(const std::string& out) {
    size_t at = out.rfind("final tick");
    return at == std::string::npos ? "" : out.substr(at);
}

// One line on stderr, exit code 2, nothing on stdout.
void expectBadInput(const ToolRun& r, const std::string& mentions) {
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(mentions), std::string::npos) << r.err;
}

TEST_F(Cli, recordedMatchReplaysToTheSameHashAndACorruptCheckIsNamed) {
    std::string replay = path("m.replay");
    ToolRun played = run("play --seed 7 --sizes 3,2 --bots hunter,charger --record '" + replay + "'");
    ASSERT_EQ(played.exitCode, 0) << played.err;
    EXPECT_NE(played.out.find("events:"), std::string::npos) << played.out;
    ASSERT_FALSE(finalLine(played.out).empty());

    ToolRun checked = run("replay '" + replay + "' --check");
    ASSERT_EQ(checked.exitCode, 0) << checked.err;
    EXPECT_NE(checked.out.find("checkpoints match"), std::string::npos) << checked.out;
    EXPECT_EQ(finalLine(checked.out), finalLine(played.out));
    EXPECT_FALSE(exists(replay + ".tmp." + std::to_string(getpid())));

    // Corrupt the zibbers hash of the checkpoint at tick 100.
    std::string text = readFile(replay);
    const size_t line = text.find("check 100 ");
    ASSERT_NE(line, std::string::npos);
    const size_t field = text.find("zibbers=0x", line) + 10;
    text[field] = text[field] == '0' ? '1' : '0';
    write("bad.replay", text);
    ToolRun r = run("replay '" + path("bad.replay") + "' --check");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("tick 100"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("differs in zibbers"), std::string::npos) << r.err;
}

// A smoke run: a header, then one row per scenario asked for with its
// zibbers, steps and repeats and three timings.
TEST_F(Cli, benchPrintsOneRowPerScenario) {
    ToolRun r = run("bench duel standard --steps 5 --repeats 1");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::regex expected(
        "scenario +zibbers +steps +repeats +us/step +steps/s +cpu us/step\n"
        "duel +2 +5 +1 +[0-9.]+ +[0-9]+ +[0-9.]+\n"
        "standard +16 +5 +1 +[0-9.]+ +[0-9]+ +[0-9.]+\n");
    EXPECT_TRUE(std::regex_match(r.out, expected)) << r.out;
}

TEST_F(Cli, badOptionsGiveOneLineAndExitCode2WithoutWritingAnything) {
    std::string record = " --record '" + path("never.replay") + "'";
    expectBadInput(run("play --frobnicate" + record), "unknown option '--frobnicate'");
    expectBadInput(run("play --teams 26x10" + record), "260 zibbers");
    expectBadInput(run("play --sizes 3,x" + record), "--sizes: 'x'");
    expectBadInput(run("play --bots hunter,hunter" + record), "2 bots for 4 teams");
    expectBadInput(run("play --seed"), "--seed needs a value");
    expectBadInput(run("play --max-steps 0" + record), "--max-steps '0'");
    expectBadInput(run("play extra" + record), "unexpected argument 'extra'");
    expectBadInput(run("dance"), "unknown command 'dance'");
    expectBadInput(run("bench nowhere"), "unknown scenario 'nowhere'");
    EXPECT_FALSE(exists(path("never.replay")));
}

TEST_F(Cli, malformedReplayFilesNameTheLine) {
    write("unknown.replay", "create 0x1\nsetup 1 sizes 1 kinds 0\nteleport 0 0\n");
    expectBadInput(run("replay '" + path("unknown.replay") + "'"), "line 3: unknown line kind 'teleport'");
    write("cut.replay", "create 0x1\nsetup 2 sizes 1 1 kinds 0 1\nstep 3\naction 1 2 0x1.");
    expectBadInput(run("replay '" + path("cut.replay") + "'"), "line 4: truncated");
    expectBadInput(run("replay '" + path("missing.replay") + "'"), "cannot open");
    expectBadInput(run("replay"), "exactly one FILE");
}

}  // namespace
