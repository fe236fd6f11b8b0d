#include <string_view>

#include "commands.h"

namespace zbhost {

namespace {

constexpr const char* kUsage =
    "usage: zibber [play] [OPTION...]     play a match between the built-in bots\n"
    "       zibber replay FILE [--check]  replay a call log, verify its checkpoints\n"
    "       zibber bench [SCENARIO...]    measure steps per second\n"
    "       zibber COMMAND --help         the options of one command\n"
    "       zibber --version\n";

constexpr const char* kPlayHelp =
    "usage: zibber play [OPTION...]\n"
    "Plays a match between the built-in bots and prints the standings.\n"
    "  --seed N          World seed, decimal or 0x hex (default 0x2a2a2a2a2a2a2a2a)\n"
    "  --teams TxS       T teams of S zibbers (default 4x4)\n"
    "  --sizes A,B,...   one size per team; 251 zibbers at most in all\n"
    "  --kinds K         mixed (default), random, one kind 0..3, or a list such as 0,2\n"
    "  --bots B          mix (default), or one bot for all or one per team:\n"
    "                    collector, hunter, charger, random\n"
    "  --max-steps N     stop after N steps even if zibbers live (default 20000)\n"
    "  --record FILE     write the match as a call log (whole or not at all)\n"
    "  --quiet           print only the final tick and hash\n";

constexpr const char* kReplayHelp =
    "usage: zibber replay FILE [--check]\n"
    "Replays a call log and prints the final tick and state hash.\n"
    "  --check           verify every check line and the end line; fails when a\n"
    "                    step, a part of the state or the step count differs, when\n"
    "                    the end line is missing or when there is nothing to verify\n"
    "Exit status: 0 verified, 1 a check failed, 2 the file is not a call log.\n";

constexpr const char* kBenchHelp =
    "usage: zibber bench [duel|standard|crowd|max ...] [--steps N] [--repeats N]\n"
    "Times the library stepping the given scenarios (default: all four).\n"
    "  --steps N         steps per run (default 2000)\n"
    "  --repeats N       timed runs per scenario; the median is shown (default 5)\n";

}  // namespace

const char* commandHelp(std::string_view command) {
    if (command == "play") return kPlayHelp;
    if (command == "replay") return kReplayHelp;
    if (command == "bench") return kBenchHelp;
    return kUsage;
}

}  // namespace zbhost
