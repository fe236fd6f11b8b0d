#include "options.h"

#include <charconv>

#include "host/match.h"

namespace zbhost {

namespace {

std::vector<std::string_view> splitCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (true) {
        size_t comma = text.find(',', pos);
        parts.push_back(text.substr(pos, comma == std::string_view::npos ? comma : comma - pos));
        if (comma == std::string_view::npos) return parts;
        pos = comma + 1;
    }
}

template <typename Int>
bool parseWhole(std::string_view text, Int& out, int base = 10) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

bool checkTotal(const std::vector<int32_t>& sizes, std::string& error) {
    int64_t total = 0;
    for (int32_t size : sizes) total += size;
    if (total < 1) {
        error = "the teams hold no zibber";
        return false;
    }
    if (total > ZB_MAX_ZIBBERS) {
        error =
            "the teams hold " + std::to_string(total) + " zibbers, at most " + std::to_string(ZB_MAX_ZIBBERS) + " fit";
        return false;
    }
    return true;
}

}  // namespace

bool parseSeedOption(std::string_view text, uint64_t& seed, std::string& error) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex ? parseWhole(text.substr(2), seed, 16) : parseWhole(text, seed)) return true;
    error = "--seed '" + std::string(text) + "' is not a 64-bit number (decimal or 0x hex)";
    return false;
}

bool parseCountOption(std::string_view text, const char* what, uint32_t minimum, uint32_t& value, std::string& error) {
    if (parseWhole(text, value) && value >= minimum) return true;
    error = std::string(what) + " '" + std::string(text) + "' is not a whole number from " + std::to_string(minimum) +
            " to 4294967295";
    return false;
}

bool parseTeamsOption(std::string_view text, std::vector<int32_t>& sizes, std::string& error) {
    size_t x = text.find('x');
    int32_t teams = 0;
    int32_t size = 0;
    if (x == std::string_view::npos || !parseWhole(text.substr(0, x), teams) || !parseWhole(text.substr(x + 1), size) ||
        teams < 1 || size < 1) {
        error = "--teams '" + std::string(text) + "' is not TEAMSxSIZE, e.g. 4x4";
        return false;
    }
    if (static_cast<int64_t>(teams) * size > ZB_MAX_ZIBBERS) {
        error = "--teams " + std::string(text) + " makes " + std::to_string(static_cast<int64_t>(teams) * size) +
                " zibbers, at most " + std::to_string(ZB_MAX_ZIBBERS) + " fit";
        return false;
    }
    sizes.assign(static_cast<size_t>(teams), size);
    return true;
}

bool parseSizesOption(std::string_view text, std::vector<int32_t>& sizes, std::string& error) {
    sizes.clear();
    for (std::string_view part : splitCommas(text)) {
        int32_t size = 0;
        if (!parseWhole(part, size) || size < 0 || size > ZB_MAX_ZIBBERS) {
            error =
                "--sizes: '" + std::string(part) + "' is not a team size from 0 to " + std::to_string(ZB_MAX_ZIBBERS);
            return false;
        }
        sizes.push_back(size);
    }
    if (checkTotal(sizes, error)) return true;
    error = "--sizes " + std::string(text) + ": " + error;
    return false;
}

bool parseKindsOption(std::string_view text, KindsChoice& kinds, std::string& error) {
    kinds = KindsChoice{};
    if (text == "mixed") return true;
    if (text == "random") {
        kinds.random = true;
        return true;
    }
    for (std::string_view part : splitCommas(text)) {
        int32_t kind = 0;
        if (!parseWhole(part, kind) || kind < 0 || kind > 3) {
            error = "--kinds: '" + std::string(part) + "' is not a kind from 0 to 3 (or use mixed, random)";
            return false;
        }
        kinds.cycle.push_back(kind);
    }
    return true;
}

std::vector<int32_t> expandKinds(const KindsChoice& choice, const std::vector<int32_t>& sizes) {
    if (choice.random) return {};
    if (choice.cycle.empty()) return mixedKinds(sizes);
    std::vector<int32_t> kinds;
    for (int32_t size : sizes)
        for (int32_t k = 0; k < size; ++k) kinds.push_back(choice.cycle[static_cast<size_t>(k) % choice.cycle.size()]);
    return kinds;
}

bool parseBotsOption(std::string_view text, size_t teamCount, std::vector<BotPolicy>& policies, std::string& error) {
    if (text == "mix") {
        policies = mixedPolicies(teamCount);
        return true;
    }
    policies.clear();
    std::vector<std::string_view> names = splitCommas(text);
    for (std::string_view name : names) {
        auto policy = policyFromName(name);
        if (!policy) {
            error = "--bots: unknown bot '" + std::string(name) + "' (collector, hunter, charger, random or mix)";
            return false;
        }
        policies.push_back(*policy);
    }
    if (policies.size() == 1) policies.assign(teamCount, policies.front());
    if (policies.size() != teamCount) {
        error = "--bots names " + std::to_string(policies.size()) + " bots for " + std::to_string(teamCount) + " teams";
        return false;
    }
    return true;
}

}  // namespace zbhost
