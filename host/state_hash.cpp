#include "host/state_hash.h"

#include <bit>

namespace zbhost {

static_assert(std::endian::native == std::endian::little,
              "the hash feeds values in memory order, which must be little-endian");

namespace {

constexpr std::string_view kPartNames[kPartCount] = {"header",    "scores",      "zibbers",   "points",  "rubys",
                                                     "obstacles", "projectiles", "particles", "removals"};

// Feeds one part into the running total and, when asked, into its own hash.
struct HashFeeder {
    StateHash& out;
    int part;
    bool withParts;

    void feed(const void* data, size_t size) {
        out.total = fnv1a(out.total, data, size);
        if (withParts) out.parts[part] = fnv1a(out.parts[part], data, size);
    }
    template <typename T>
    void feedValue(T value) {
        feed(&value, sizeof value);
    }
};

void feedArray(StateHash& out, int part, bool withParts, const std::vector<double>& values) {
    HashFeeder{out, part, withParts}.feed(values.data(), values.size() * sizeof(double));
}

}  // namespace

std::string_view partName(int part) { return part >= 0 && part < kPartCount ? kPartNames[part] : "unknown"; }

uint64_t fnv1a(uint64_t hash, const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= kFnvPrime;
    }
    return hash;
}

StateHash hashSnapshot(const Snapshot& s, bool withParts) {
    StateHash out;
    out.parts.fill(kFnvOffsetBasis);

    HashFeeder header{out, kPartHeader, withParts};
    header.feedValue<uint32_t>(s.tick);
    header.feedValue<double>(s.mapSize);
    header.feedValue<uint8_t>(s.isOver ? 1 : 0);
    for (int32_t count : {s.numTeams, s.numZibbers, s.numPoints, s.numRubys, s.numObstacles, s.numProjectiles,
                          s.numParticles, s.numRemovals})
        header.feedValue<int32_t>(count);

    HashFeeder{out, kPartScores, withParts}.feed(s.teamScores.data(), s.teamScores.size() * sizeof(int32_t));
    feedArray(out, kPartZibbers, withParts, s.zibbers);
    feedArray(out, kPartPoints, withParts, s.points);
    feedArray(out, kPartRubys, withParts, s.rubys);
    feedArray(out, kPartObstacles, withParts, s.obstacles);
    feedArray(out, kPartProjectiles, withParts, s.projectiles);
    feedArray(out, kPartParticles, withParts, s.particles);
    feedArray(out, kPartRemovals, withParts, s.removals);
    return out;
}

uint64_t hashWorld(const zb_world* world) {
    Snapshot snapshot;
    readSnapshot(world, snapshot);
    return hashSnapshot(snapshot, false).total;
}

}  // namespace zbhost
