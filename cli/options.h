// Parsers for the tool's option values. Each returns false and says what is
// wrong in `error` (one line, without the program name).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/bots.h"

namespace zbhost {

bool parseSeedOption(std::string_view text, uint64_t& seed, std::string& error);
bool parseCountOption(std::string_view text, const char* what, uint32_t minimum, uint32_t& value, std::string& error);
// "4x4": four teams of four.
bool parseTeamsOption(std::string_view text, std::vector<int32_t>& sizes, std::string& error);
// "3,5,2": one size per team.
bool parseSizesOption(std::string_view text, std::vector<int32_t>& sizes, std::string& error);

// "mixed", "random", one kind for all, or a comma list repeated over the
// members of each team.
struct KindsChoice {
    bool random = false;
    std::vector<int32_t> cycle;  // empty: mixed
};
bool parseKindsOption(std::string_view text, KindsChoice& kinds, std::string& error);
// Expands the choice for the given teams; kinds stays empty when random.
std::vector<int32_t> expandKinds(const KindsChoice& choice, const std::vector<int32_t>& sizes);

// "mix", one policy for all, or one per team.
bool parseBotsOption(std::string_view text, size_t teamCount, std::vector<BotPolicy>& policies, std::string& error);

}  // namespace zbhost
