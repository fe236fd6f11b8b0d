#include "host/call_log.h"

#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zbhost {

namespace {

std::vector<std::string_view> splitTokens(std::string_view line) {
    std::vector<std::string_view> tokens;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        if (end > pos) tokens.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return tokens;
}

template <typename Int>
bool parseInt(std::string_view token, Int& out, int base = 10) {
    const char* first = token.data();
    const char* last = first + token.size();
    auto [ptr, ec] = std::from_chars(first, last, out, base);
    return ec == std::errc() && ptr == last;
}

bool parseHex64(std::string_view token, uint64_t& out) {
    if (token.size() < 3 || token[0] != '0' || (token[1] != 'x' && token[1] != 'X')) return false;
    return parseInt(token.substr(2), out, 16);
}

// strtod takes everything a C99 %a writes, plus inf and nan.
bool parseDouble(std::string_view token, double& out) {
    std::string copy(token);
    char* end = nullptr;
    errno = 0;
    out = std::strtod(copy.c_str(), &end);
    // ERANGE only flags values that rounded to 0 or infinity; they still parse.
    return end == copy.c_str() + copy.size() && !copy.empty();
}

// Messages quote the offending text; a binary file must not turn them into
// terminal garbage or many lines.
std::string printable(std::string_view text) {
    constexpr size_t kMaxShown = 160;
    std::string out;
    for (unsigned char c : text.substr(0, kMaxShown)) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    if (text.size() > kMaxShown) out += "...";
    return out;
}

struct LineParser {
    int line;
    const std::vector<std::string_view>& tokens;
    std::string& error;

    bool fail(const std::string& what) {
        error = "line " + std::to_string(line) + ": " + printable(what);
        return false;
    }
    bool need(size_t count, const char* usage) {
        if (tokens.size() != count) return fail(std::string(tokens[0]) + ": expected '" + usage + "'");
        return true;
    }
    bool int32At(size_t i, const char* what, int32_t& out) {
        if (!parseInt(tokens[i], out))
            return fail(std::string(what) + " '" + std::string(tokens[i]) + "' is not a 32-bit integer");
        return true;
    }
};

bool parseCreate(LineParser& p, ReplayCall& call) {
    if (!p.need(2, "create <seed as 0x hex>")) return false;
    if (!parseHex64(p.tokens[1], call.seed))
        return p.fail("seed '" + std::string(p.tokens[1]) + "' is not a 0x-prefixed 64-bit hex number");
    return true;
}

bool parseSetup(LineParser& p, ReplayCall& call) {
    const auto& t = p.tokens;
    int32_t count = 0;
    if (t.size() < 3) return p.fail("setup: expected 'setup <count> sizes ... kinds ...'");
    if (!p.int32At(1, "team count", count)) return false;
    if (count < 0) return p.fail("setup: negative team count " + std::to_string(count));
    if (t[2] != "sizes") return p.fail("setup: expected 'sizes' after the team count");
    size_t kindsAt = 3 + static_cast<size_t>(count);
    if (t.size() < kindsAt + 1 || t[kindsAt] != "kinds")
        return p.fail("setup: expected " + std::to_string(count) + " team sizes followed by 'kinds'");
    int64_t total = 0;
    for (size_t i = 3; i < kindsAt; ++i) {
        int32_t size = 0;
        if (!p.int32At(i, "team size", size)) return false;
        call.sizes.push_back(size);
        if (size > 0) total += size;
    }
    size_t kindCount = t.size() - kindsAt - 1;
    if (kindCount == 1 && t[kindsAt + 1] == "null") {
        call.kindsNull = true;
        return true;
    }
    call.kindsNull = false;
    if (static_cast<int64_t>(kindCount) != total)
        return p.fail("setup: " + std::to_string(total) + " zibbers need " + std::to_string(total) +
                      " kinds (or null), got " + std::to_string(kindCount));
    for (size_t i = kindsAt + 1; i < t.size(); ++i) {
        int32_t kind = 0;
        if (!p.int32At(i, "kind", kind)) return false;
        call.kinds.push_back(kind);
    }
    return true;
}

bool parseAction(LineParser& p, ReplayCall& call) {
    if (!p.need(4, "action <index> <kind> <value>")) return false;
    if (!p.int32At(1, "index", call.index)) return false;
    if (!p.int32At(2, "action kind", call.actionKind)) return false;
    if (!parseDouble(p.tokens[3], call.value))
        return p.fail("value '" + std::string(p.tokens[3]) + "' is not a number");
    return true;
}

bool parseStep(LineParser& p, ReplayCall& call) {
    if (p.tokens.size() == 1) {
        call.steps = 1;
        return true;
    }
    if (!p.need(2, "step [count]")) return false;
    if (!parseInt(p.tokens[1], call.steps))
        return p.fail("step count '" + std::string(p.tokens[1]) + "' is not a non-negative 32-bit integer");
    return true;
}

bool parseCheck(LineParser& p, ReplayCall& call) {
    const auto& t = p.tokens;
    if (t.size() < 3) return p.fail("check: expected 'check <tick> <hash> [part=hash ...]'");
    if (!parseInt(t[1], call.checkTick)) return p.fail("check tick '" + std::string(t[1]) + "' is not a tick number");
    if (!parseHex64(t[2], call.checkHash))
        return p.fail("check hash '" + std::string(t[2]) + "' is not a 0x hex number");
    for (size_t i = 3; i < t.size(); ++i) {
        size_t eq = t[i].find('=');
        std::string_view name = t[i].substr(0, eq);
        int part = 0;
        while (part < kPartCount && partName(part) != name) ++part;
        if (eq == std::string_view::npos || part == kPartCount)
            return p.fail("check: unknown part '" + std::string(t[i]) + "'");
        if (!parseHex64(t[i].substr(eq + 1), call.checkParts[part]))
            return p.fail("check: hash of " + std::string(name) + " is not a 0x hex number");
        call.checkPartMask |= 1u << part;
    }
    return true;
}

void flushSteps(ReplayWriter& writer) {
    if (writer.pendingSteps == 1) writer.text += "step\n";
    if (writer.pendingSteps > 1) writer.text += "step " + std::to_string(writer.pendingSteps) + "\n";
    writer.pendingSteps = 0;
}

}  // namespace

bool parseReplay(std::string_view text, std::vector<ReplayCall>& calls, std::string& error) {
    calls.clear();
    int lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        ++lineNumber;
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            // Writers always end the last line; a missing newline means the
            // file was cut off, perhaps in the middle of a number.
            error = "line " + std::to_string(lineNumber) + ": truncated (the file does not end with a newline)";
            return false;
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find('\0') != std::string_view::npos) {
            error = "line " + std::to_string(lineNumber) + ": contains a NUL byte";
            return false;
        }
        std::vector<std::string_view> tokens = splitTokens(line);
        if (tokens.empty() || tokens[0].front() == '#') continue;

        ReplayCall call;
        call.line = lineNumber;
        LineParser parser{lineNumber, tokens, error};
        bool ok = false;
        if (tokens[0] == "create") {
            call.kind = CallKind::create;
            ok = parseCreate(parser, call);
        } else if (tokens[0] == "setup") {
            call.kind = CallKind::setup;
            ok = parseSetup(parser, call);
        } else if (tokens[0] == "action") {
            call.kind = CallKind::action;
            ok = parseAction(parser, call);
        } else if (tokens[0] == "step") {
            call.kind = CallKind::step;
            ok = parseStep(parser, call);
        } else if (tokens[0] == "check") {
            call.kind = CallKind::check;
            ok = parseCheck(parser, call);
        } else {
            ok = parser.fail("unknown line kind '" + std::string(tokens[0]) + "'");
        }
        if (!ok) return false;
        calls.push_back(std::move(call));
    }
    return true;
}

bool readReplayFile(const std::string& path, std::vector<ReplayCall>& calls, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open replay file '" + path + "'";
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        error = "cannot read replay file '" + path + "'";
        return false;
    }
    if (!parseReplay(buffer.str(), calls, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::string formatHash(uint64_t hash) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, hash);
    return text;
}

void writeComment(ReplayWriter& writer, std::string_view comment) {
    flushSteps(writer);
    writer.text += "# ";
    writer.text += comment;
    writer.text += '\n';
}

void writeCreate(ReplayWriter& writer, uint64_t seed) {
    flushSteps(writer);
    writer.text += "create " + formatHash(seed) + "\n";
}

void writeSetup(ReplayWriter& writer, const std::vector<int32_t>& sizes, const int32_t* kinds, size_t kindCount) {
    flushSteps(writer);
    // Appended piece by piece: GCC 12 warns falsely about " " + to_string().
    auto appendNumber = [&](long long value) {
        writer.text += ' ';
        writer.text += std::to_string(value);
    };
    writer.text += "setup";
    appendNumber(static_cast<long long>(sizes.size()));
    writer.text += " sizes";
    for (int32_t size : sizes) appendNumber(size);
    writer.text += " kinds";
    if (kinds == nullptr) writer.text += " null";
    for (size_t i = 0; kinds != nullptr && i < kindCount; ++i) appendNumber(kinds[i]);
    writer.text += '\n';
}

void writeAction(ReplayWriter& writer, int32_t index, int32_t kind, double value) {
    flushSteps(writer);
    char text[64];
    std::snprintf(text, sizeof text, "action %" PRId32 " %" PRId32 " %a\n", index, kind, value);
    writer.text += text;
}

void writeStep(ReplayWriter& writer) { ++writer.pendingSteps; }

void writeCheck(ReplayWriter& writer, uint32_t tick, const StateHash& hash) {
    flushSteps(writer);
    writer.text += "check ";
    writer.text += std::to_string(tick);
    writer.text += ' ';
    writer.text += formatHash(hash.total);
    for (int part = 0; part < kPartCount; ++part) {
        writer.text += ' ';
        writer.text += partName(part);
        writer.text += '=';
        writer.text += formatHash(hash.parts[part]);
    }
    writer.text += '\n';
}

const std::string& finishReplay(ReplayWriter& writer) {
    flushSteps(writer);
    return writer.text;
}

bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error) {
    std::string temp = path + ".tmp." + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            error = "cannot write '" + path + "'";
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        error = "cannot write '" + path + "'";
        return false;
    }
    return true;
}

bool runReplay(const std::vector<ReplayCall>& calls, WorldHandle& world, const ReplayHooks& hooks) {
    for (const ReplayCall& call : calls) {
        switch (call.kind) {
            case CallKind::create: world.reset(zb_create(call.seed)); break;
            case CallKind::setup:
                zb_setup(world.get(), call.sizes.data(), static_cast<int32_t>(call.sizes.size()),
                         call.kindsNull ? nullptr : call.kinds.data());
                break;
            case CallKind::action:
                if (call.index >= 0 && call.index < zb_num_zibbers(world.get()))
                    zb_set_action(world.get(), call.index, call.actionKind, call.value);
                break;
            case CallKind::step:
                for (uint32_t i = 0; i < call.steps; ++i) {
                    zb_step(world.get());
                    if (hooks.afterStep && !hooks.afterStep(world.get())) return false;
                }
                break;
            case CallKind::check:
                if (hooks.atCheck && !hooks.atCheck(world.get(), call)) return false;
                break;
        }
    }
    return true;
}

}  // namespace zbhost
