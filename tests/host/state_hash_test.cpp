// The total hash is pinned by the golden matches; the per-part hashes, which
// only name what differs at a failed checkpoint, are checked here.
#include <gtest/gtest.h>

#include "host/state_hash.h"

namespace {

using namespace zbhost;

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
