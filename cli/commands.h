// The tool's subcommands. Each takes the arguments after its name and
// returns the exit code: 0 success, 1 a failed check or a failed write, 2 bad
// input.
#pragma once

#include <string>
#include <string_view>

namespace zbhost {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

int runPlay(int argc, char** argv);
int runReplay(int argc, char** argv);
int runBench(int argc, char** argv);

// The text of `zibber COMMAND --help`; the general usage for an empty or
// unknown command.
const char* commandHelp(std::string_view command);

// Print "zibber: <message>" as one line on stderr and return the exit code.
int badInput(const std::string& message);
int failed(const std::string& message);

}  // namespace zbhost
