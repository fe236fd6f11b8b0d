// The one argument walker of the tool's commands: long options, with values
// as "--name value" or "--name=value", and positional arguments in any order.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace zbhost {

struct OptionSpec {
    const char* name;  // without the leading dashes
    bool hasValue;
};

// Receives the index of the option in the specs and its value (null for a
// flag); returns false with `error` set to stop the walk.
using TakeOption = std::function<bool(size_t option, const char* value, std::string& error)>;

// False with a one-line `error` on an unknown option, a missing value, or
// whatever `take` refused.
bool walkArguments(int argc, char** argv, std::span<const OptionSpec> specs, const TakeOption& take,
                   std::vector<std::string>& positional, std::string& error);

}  // namespace zbhost
