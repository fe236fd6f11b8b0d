#include <unistd.h>
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <numeric>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "host/match.h"
#include "options.h"

namespace zbhost {

namespace {

struct PlayOptions {
    MatchSetup setup;
    std::string recordPath;
    bool quiet = false;
};

int parsePlayOptions(int argc, char** argv, PlayOptions& options) {
    enum { kSeed, kTeams, kSizes, kKinds, kBots, kMaxSteps, kRecord, kQuiet };
    static constexpr OptionSpec kSpecs[] = {{"seed", true}, {"teams", true},     {"sizes", true},  {"kinds", true},
                                            {"bots", true}, {"max-steps", true}, {"record", true}, {"quiet", false}};
    std::string botsText = "mix";
    KindsChoice kinds;
    bool teamsGiven = false;
    auto take = [&](size_t option, const char* value, std::string& error) {
        const std::string arg = value != nullptr ? value : "";
        switch (option) {
            case kSeed: return parseSeedOption(arg, options.setup.seed, error);
            case kTeams:
            case kSizes:
                if (teamsGiven) {
                    error = "give --teams or --sizes once";
                    return false;
                }
                teamsGiven = true;
                return option == kTeams ? parseTeamsOption(arg, options.setup.sizes, error)
                                        : parseSizesOption(arg, options.setup.sizes, error);
            case kKinds: return parseKindsOption(arg, kinds, error);
            case kBots: botsText = arg; return true;
            case kMaxSteps: return parseCountOption(arg, "--max-steps", 1, options.setup.maxSteps, error);
            case kRecord:
                options.recordPath = arg;
                if (arg.empty()) error = "--record needs a file name";
                // Refused before the match rather than after it.
                return !arg.empty() && canReplaceFile(arg, error);
            default: options.quiet = true; return true;
        }
    };
    std::vector<std::string> positional;
    std::string error;
    if (!walkArguments(argc, argv, kSpecs, take, positional, error)) return badInput(error);
    if (!positional.empty()) return badInput("unexpected argument '" + positional.front() + "'");
    if (!parseBotsOption(botsText, options.setup.sizes.size(), options.setup.teamPolicies, error))
        return badInput(error);
    options.setup.kinds = expandKinds(kinds, options.setup.sizes);
    options.setup.kindsNull = kinds.random;
    return kExitOk;
}

// One line, redrawn in place; only worth it on a terminal.
void showProgress(const Snapshot& s, const std::vector<int32_t>& sizes) {
    if (s.tick % 10 != 0 && !s.isOver) return;
    std::string alive;
    int index = 0;
    for (int32_t size : sizes) {
        int count = 0;
        for (int32_t k = 0; k < size; ++k, ++index)
            if (index < s.numZibbers && zibberAt(s, index)[ZB_ZIBBER_ALIVE] != 0.0) ++count;
        if (!alive.empty()) alive += '/';
        alive += std::to_string(count);
    }
    int32_t best = s.teamScores.empty() ? 0 : *std::max_element(s.teamScores.begin(), s.teamScores.end());
    std::printf("\rtick %6" PRIu32 "  map %5.1f  alive %s  best %" PRId32 "\033[K", s.tick, s.mapSize, alive.c_str(),
                best);
    std::fflush(stdout);
}

void printResult(const MatchSetup& setup, const MatchResult& result) {
    if (result.over)
        std::printf("match over at tick %" PRIu32 ": no zibber left\n", result.ticks);
    else
        std::printf("stopped at tick %" PRIu32 " (--max-steps) with zibbers alive\n", result.ticks);

    std::vector<size_t> order(result.standings.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return result.standings[a].score > result.standings[b].score; });
    std::printf("rank  team  bot        size  score  survivors  last death\n");
    for (size_t rank = 0; rank < order.size(); ++rank) {
        size_t t = order[rank];
        const TeamStanding& team = result.standings[t];
        std::string lastDeath = team.lastDeathTick < 0 ? "-" : std::to_string(team.lastDeathTick);
        std::printf("%4zu  %4zu  %-9s  %4" PRId32 "  %5" PRId32 "  %9" PRId32 "  %10s\n", rank + 1, t,
                    std::string(policyName(setup.teamPolicies[t])).c_str(), team.members, team.score, team.survivors,
                    lastDeath.c_str());
    }
    const EventTotals& e = result.events;
    std::printf("events: %" PRId64 " bursts, %" PRId64 " rams that scored (of %" PRId64 " bounces), %" PRId64
                " ruby bites, %" PRId64 " projectiles launched, %" PRId64 " stuns, %" PRId64 " wall hits, %" PRId64
                " hazard hits, %" PRId64 " points collected\n",
                e.bursts, e.scoringRams, e.contacts, e.rubyBites, e.launches, e.stuns, e.wallHits, e.hazardHits,
                e.pointsCollected);
}

}  // namespace

int runPlay(int argc, char** argv) {
    PlayOptions options;
    if (int code = parsePlayOptions(argc, argv, options); code != kExitOk) return code;

    ReplayWriter writer;
    MatchHooks hooks;
    if (!options.recordPath.empty()) hooks.record = &writer;
    bool live = !options.quiet && isatty(STDOUT_FILENO);
    if (live) hooks.progress = [&](const Snapshot& s) { showProgress(s, options.setup.sizes); };

    MatchResult result = playMatch(options.setup, hooks);
    if (live) std::printf("\r\033[K");

    if (!options.recordPath.empty()) {
        std::string error;
        if (!writeFileAtomically(options.recordPath, finishReplay(writer), error)) return failed(error);
    }
    if (!options.quiet) printResult(options.setup, result);
    std::printf("final tick %" PRIu32 " hash %s\n", result.ticks, formatHash(result.hash).c_str());
    return kExitOk;
}

}  // namespace zbhost
