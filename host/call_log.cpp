#include "host/call_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// The `name=0x...` fields after a check or end line's hash.
bool parseNamedHashes(LineParser& p, size_t first, bool partsAllowed, ReplayCall& call) {
    const auto& t = p.tokens;
    for (size_t i = first; i < t.size(); ++i) {
        size_t eq = t[i].find('=');
        std::string_view name = t[i].substr(0, eq);
        int part = 0;
        while (part < kPartCount && partName(part) != name) ++part;
        bool chain = name == "chain";
        if (eq == std::string_view::npos || (!chain && (part == kPartCount || !partsAllowed)))
            return p.fail(std::string(t[0]) + ": unknown part '" + std::string(t[i]) + "'");
        if (!parseHex64(t[i].substr(eq + 1), chain ? call.chain : call.checkParts[part]))
            return p.fail(std::string(t[0]) + ": hash of " + std::string(name) + " is not a 0x hex number");
        if (chain) call.hasChain = true;
        if (!chain) call.checkPartMask |= 1u << part;
    }
    return true;
}

bool parseCheck(LineParser& p, ReplayCall& call) {
    const auto& t = p.tokens;
    if (t.size() < 3) return p.fail("check: expected 'check <tick> <hash> [chain=hash] [part=hash ...]'");
    if (!parseInt(t[1], call.checkTick)) return p.fail("check tick '" + std::string(t[1]) + "' is not a tick number");
    if (!parseHex64(t[2], call.checkHash))
        return p.fail("check hash '" + std::string(t[2]) + "' is not a 0x hex number");
    return parseNamedHashes(p, 3, true, call);
}

bool parseEnd(LineParser& p, ReplayCall& call) {
    const auto& t = p.tokens;
    if (t.size() < 3 || t.size() > 4) return p.fail("end: expected 'end <steps> <hash> [chain=hash]'");
    if (!parseInt(t[1], call.endSteps))
        return p.fail("end: step count '" + std::string(t[1]) + "' is not a non-negative 64-bit integer");
    if (!parseHex64(t[2], call.checkHash)) return p.fail("end hash '" + std::string(t[2]) + "' is not a 0x hex number");
    return parseNamedHashes(p, 3, false, call);
}

void appendHash(std::string& text, std::string_view name, uint64_t hash) {
    text += ' ';
    text += name;
    text += '=';
    text += formatHash(hash);
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
    bool ended = false;
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
        if (ended) {
            error = "line " + std::to_string(lineNumber) + ": a call after the end line";
            return false;
        }

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
        } else if (tokens[0] == "end") {
            call.kind = CallKind::end;
            ok = parseEnd(parser, call);
            ended = true;
        } else {
            ok = parser.fail("unknown line kind '" + std::string(tokens[0]) + "'");
        }
        if (!ok) return false;
        calls.push_back(std::move(call));
    }
    // Calls before a create would act on no World at all.
    if (calls.empty()) {
        error = "no create line: the log holds no call";
        return false;
    }
    if (calls.front().kind != CallKind::create) {
        error = "line " + std::to_string(calls.front().line) + ": a call log starts with a create line";
        return false;
    }
    return true;
}

bool readReplayFile(const std::string& path, std::vector<ReplayCall>& calls, std::string& error) {
    auto fail = [&](const std::string& what) {
        error = "'" + path + "' " + what;
        return false;
    };
    // Non-blocking, so that opening a FIFO with no writer returns at once;
    // fstat then refuses it.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open replay file '" + path + "': " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    std::string text;
    bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ssize_t got = 0;
    char buffer[1 << 16];
    while (regular && (got = read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    int readErrno = errno;
    close(fd);
    if (S_ISDIR(info.st_mode)) return fail("is a directory, not a call log");
    if (!regular) return fail("is not a regular file, not a call log");
    if (got < 0) return fail("cannot be read: " + std::string(std::strerror(readErrno)));
    if (text.empty()) return fail("is empty, not a call log");
    if (parseReplay(text, calls, error)) return true;
    error = path + ": " + error;
    return false;
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

void writeStep(ReplayWriter& writer) {
    ++writer.pendingSteps;
    ++writer.steps;
    writer.chainKnown = false;
}

void writeStep(ReplayWriter& writer, uint64_t stateHash) {
    ++writer.pendingSteps;
    ++writer.steps;
    writer.chain = chainStep(writer.chain, stateHash);
}

uint64_t chainStep(uint64_t chain, uint64_t stateHash) {
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(stateHash >> (8 * i));
    return fnv1a(chain, bytes, sizeof bytes);
}

void writeCheck(ReplayWriter& writer, uint32_t tick, const StateHash& hash) {
    flushSteps(writer);
    writer.text += "check ";
    writer.text += std::to_string(tick);
    writer.text += ' ';
    writer.text += formatHash(hash.total);
    if (writer.chainKnown) appendHash(writer.text, "chain", writer.chain);
    for (int part = 0; part < kPartCount; ++part) appendHash(writer.text, partName(part), hash.parts[part]);
    writer.text += '\n';
}

void writeEnd(ReplayWriter& writer, uint64_t finalHash) {
    flushSteps(writer);
    writer.text += "end ";
    writer.text += std::to_string(writer.steps);
    writer.text += ' ';
    writer.text += formatHash(finalHash);
    if (writer.chainKnown) appendHash(writer.text, "chain", writer.chain);
    writer.text += '\n';
}

const std::string& finishReplay(ReplayWriter& writer) {
    flushSteps(writer);
    return writer.text;
}

bool canReplaceFile(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return true;
    error = "'" + path + "' exists and is not a regular file";
    return false;
}

bool writeFileAtomically(const std::string& path, std::string_view text, std::string& error) {
    if (!canReplaceFile(path, error)) return false;
    // Through a symlink to the file it names: renaming over the link itself
    // would replace it (think of /dev/stdout redirected to a file).
    std::string target = path;
    struct stat link {};
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    std::string temp = target + ".tmp." + std::to_string(getpid());
    auto fail = [&](const char* what) {
        error = std::string(what) + " '" + path + "': " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    };
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    for (size_t done = 0; done < text.size();) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) {
            int saved = errno;
            close(fd);
            errno = saved;
            return fail("cannot write");
        }
        done += static_cast<size_t>(wrote);
    }
    // Some file systems report a full disk only when the file is closed.
    if (close(fd) != 0) return fail("cannot write");
    if (std::rename(temp.c_str(), target.c_str()) != 0) return fail("cannot write");
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
            case CallKind::end:
                if (hooks.atEnd && !hooks.atEnd(world.get(), call)) return false;
                break;
        }
    }
    return true;
}

}  // namespace zbhost
