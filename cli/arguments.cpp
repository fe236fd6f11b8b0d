#include "arguments.h"

#include <getopt.h>

namespace zbhost {

namespace {

// getopt_long reports '?' and ':' itself; option ids start above any char.
constexpr int kFirstOptionId = 256;

}  // namespace

bool walkArguments(int argc, char** argv, std::span<const OptionSpec> specs, const TakeOption& take,
                   std::vector<std::string>& positional, std::string& error) {
    std::vector<option> longOptions;
    for (size_t i = 0; i < specs.size(); ++i) {
        longOptions.push_back(option{specs[i].name, specs[i].hasValue ? required_argument : no_argument, nullptr,
                                     kFirstOptionId + static_cast<int>(i)});
    }
    longOptions.push_back(option{nullptr, 0, nullptr, 0});
    opterr = 0;
    optind = 0;  // glibc's full reset, so a command can be run again in one process
    int c = 0;
    while ((c = getopt_long(argc, argv, ":", longOptions.data(), nullptr)) != -1) {
        if (c == ':') {
            error = std::string(argv[optind - 1]) + " needs a value";
            return false;
        }
        if (c < kFirstOptionId) {
            error = "unknown option '" + std::string(argv[optind - 1]) + "'";
            return false;
        }
        if (!take(static_cast<size_t>(c - kFirstOptionId), optarg, error)) return false;
    }
    for (int i = optind; i < argc; ++i) positional.emplace_back(argv[i]);
    return true;
}

}  // namespace zbhost
