// 64-bit FNV-1a over the whole exported state, in the byte order documented
// in cli/README.md. Alongside the total, each part of the state gets its own
// hash so that a failed checkpoint can say which export went wrong.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "host/snapshot.h"

namespace zbhost {

constexpr uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

// header: tick, map size, over flag and the eight counts; scores: the team
// scores; then one part per array export.
enum StatePart {
    kPartHeader,
    kPartScores,
    kPartZibbers,
    kPartPoints,
    kPartRubys,
    kPartObstacles,
    kPartProjectiles,
    kPartParticles,
    kPartRemovals,
    kPartCount
};

struct StateHash {
    uint64_t total = kFnvOffsetBasis;
    std::array<uint64_t, kPartCount> parts{};
};

std::string_view partName(int part);

uint64_t fnv1a(uint64_t hash, const void* data, size_t size);

// Without parts (they stay at the offset basis) it costs half: for callers
// that hash every step and compare only the total.
StateHash hashSnapshot(const Snapshot& snapshot, bool withParts = true);

// Reads the World and hashes it; for callers that need nothing else.
uint64_t hashWorld(const zb_world* world);

}  // namespace zbhost
