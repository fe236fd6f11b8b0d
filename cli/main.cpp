#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"

namespace {

constexpr const char* kUsage =
    "usage: zibber [play] [--seed N] [--teams TxS | --sizes A,B,...] [--kinds K]\n"
    "                     [--bots B] [--max-steps N] [--record FILE] [--quiet]\n"
    "       zibber replay FILE [--check]\n"
    "       zibber bench [duel|standard|crowd|max ...] [--steps N] [--repeats N]\n";

}  // namespace

int zbhost::badInput(const std::string& message) {
    std::fprintf(stderr, "zibber: %s\n", message.c_str());
    return kExitBadInput;
}

int main(int argc, char** argv) {
    // No subcommand, or an option first, means play.
    if (argc < 2 || argv[1][0] == '-') {
        if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
            std::fputs(kUsage, stdout);
            return zbhost::kExitOk;
        }
        return zbhost::runPlay(argc, argv);
    }
    std::string command = argv[1];
    if (command == "play") return zbhost::runPlay(argc - 1, argv + 1);
    if (command == "replay") return zbhost::runReplay(argc - 1, argv + 1);
    if (command == "bench") return zbhost::runBench(argc - 1, argv + 1);
    if (command == "help") {
        std::fputs(kUsage, stdout);
        return zbhost::kExitOk;
    }
    return zbhost::badInput("unknown command '" + command + "' (play, replay, bench, help)");
}
