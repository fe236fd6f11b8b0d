#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/call_log.h"
#include "host/state_hash.h"

namespace {

using namespace zbhost;

TEST(StateHash, fnv1aMatchesPublishedVectors) {
    EXPECT_EQ(fnv1a(kFnvOffsetBasis, "", 0), 0xcbf29ce484222325ull);
    EXPECT_EQ(fnv1a(kFnvOffsetBasis, "a", 1), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(fnv1a(kFnvOffsetBasis, "foobar", 6), 0x85944171f73967e8ull);
}

// A fresh World exports only its scalars: 4 bytes of tick, the 8 bytes of
// mapSize, one byte of isOver and eight 32-bit counts, little-endian.
TEST(StateHash, freshWorldHashesTheScalarsInDocumentedOrder) {
    std::string bytes(4, '\0');
    double mapSize = 67.0;
    bytes.append(reinterpret_cast<const char*>(&mapSize), 8);
    bytes.append(1 + 8 * 4, '\0');
    uint64_t expected = kFnvOffsetBasis;
    for (unsigned char b : bytes) expected = (expected ^ b) * kFnvPrime;

    WorldHandle world(zb_create(1));
    EXPECT_EQ(hashWorld(world.get()), expected);
}

TEST(StateHash, aChangedValueChangesItsPartAndTheTotalOnly) {
    Snapshot s;
    s.numZibbers = 1;
    s.zibbers.assign(ZB_ZIBBER_WIDTH, 1.0);
    s.numParticles = 1;
    s.particles.assign(ZB_PARTICLE_WIDTH, 2.0);
    s.numTeams = 1;
    s.teamScores = {3};
    StateHash base = hashSnapshot(s);

    s.particles[ZB_PARTICLE_AMOUNT] = 2.5;
    StateHash changed = hashSnapshot(s);
    EXPECT_NE(changed.total, base.total);
    for (int part = 0; part < kPartCount; ++part) {
        if (part == kPartParticles)
            EXPECT_NE(changed.parts[part], base.parts[part]);
        else
            EXPECT_EQ(changed.parts[part], base.parts[part]) << partName(part);
    }
}

}  // namespace
