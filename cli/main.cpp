#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <zibber.h>
#include "commands.h"

namespace {

bool wantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--") return false;
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

int printHelp(const char* text) {
    std::fputs(text, stdout);
    return zbhost::kExitOk;
}

int dispatch(int argc, char** argv) {
    using namespace zbhost;
    // No subcommand, or an option first, means play.
    if (argc < 2 || argv[1][0] == '-') {
        if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
            std::printf("zibber %s\n", ZB_VERSION_STRING);
            return kExitOk;
        }
        if (wantsHelp(argc, argv)) return printHelp(commandHelp(""));
        return runPlay(argc, argv);
    }
    std::string command = argv[1];
    if (command == "help") return printHelp(commandHelp(argc > 2 ? argv[2] : ""));
    int (*run)(int, char**) = command == "play"     ? runPlay
                              : command == "replay" ? runReplay
                              : command == "bench"  ? runBench
                                                    : nullptr;
    if (run == nullptr) return badInput("unknown command '" + command + "' (play, replay, bench, help)");
    if (wantsHelp(argc - 1, argv + 1)) return printHelp(commandHelp(command));
    return run(argc - 1, argv + 1);
}

}  // namespace

int zbhost::badInput(const std::string& message) {
    std::fprintf(stderr, "zibber: %s\n", message.c_str());
    return kExitBadInput;
}

int zbhost::failed(const std::string& message) {
    std::fprintf(stderr, "zibber: %s\n", message.c_str());
    return kExitFailed;
}

int main(int argc, char** argv) {
    int code = dispatch(argc, argv);
    // A full disk or a closed file must not pass for success; stdout is
    // buffered, so the error shows only here.
    int flushed = std::fflush(stdout);
    int reason = errno;
    if (flushed == 0 && !std::ferror(stdout)) return code;
    std::string why = flushed != 0 ? std::string(": ") + std::strerror(reason) : "";
    zbhost::failed("cannot write standard output" + why);
    return code == zbhost::kExitOk ? zbhost::kExitFailed : code;
}
