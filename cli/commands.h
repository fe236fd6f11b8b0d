// The tool's subcommands. Each takes the arguments after its name and
// returns the exit code: 0 success, 1 a failed check, 2 bad input.
#pragma once

#include <string>

namespace zbhost {

constexpr int kExitOk = 0;
constexpr int kExitMismatch = 1;
constexpr int kExitBadInput = 2;

int runPlay(int argc, char** argv);
int runReplay(int argc, char** argv);
int runBench(int argc, char** argv);

// Prints "zibber: <message>" as one line and returns kExitBadInput.
int badInput(const std::string& message);

}  // namespace zbhost
