// Each event is told from particles and field changes; none may be counted
// twice or mistaken for another (real matches check the totals are lively).
#include <gtest/gtest.h>

#include "host/events.h"

namespace {

using namespace zbhost;

void addZibber(Snapshot& s, double alive, int kind, int chargeTicks, int stunTicks) {
    std::vector<double> z(ZB_ZIBBER_WIDTH, 0.0);
    z[ZB_ZIBBER_ALIVE] = alive;
    z[ZB_ZIBBER_KIND] = kind;
    z[ZB_ZIBBER_CHARGE_TICKS] = chargeTicks;
    z[ZB_ZIBBER_STUN_TICKS] = stunTicks;
    s.zibbers.insert(s.zibbers.end(), z.begin(), z.end());
    ++s.numZibbers;
}

void addParticle(Snapshot& s, int kind, double amount, double zibberId, double contactA = -1.0) {
    s.particles.insert(s.particles.end(), {double(kind), 0.0, 0.0, amount, zibberId, contactA, contactA});
    ++s.numParticles;
}

TEST(Events, particlesTellBitesWallsHazardsAndRams) {
    Snapshot before, after;
    addParticle(after, ZB_PARTICLE_BITE, -0.4, -1);
    addParticle(after, ZB_PARTICLE_FINAL_BITE, -0.7, -1);
    addParticle(after, ZB_PARTICLE_SIZE_CHANGE, 0.30000000000000004, -1);  // wall
    addParticle(after, ZB_PARTICLE_SIZE_CHANGE, 0.2, -1);                  // hazard obstacle
    // A bounce is a contact particle and one per zibber: the rammer shrinks
    // and scores; back to back nobody does; head-on both swell.
    for (double rammer : {-0.5, 0.0, 0.5}) {
        addParticle(after, ZB_PARTICLE_SIZE_CHANGE, 1.0, -1, 251);
        addParticle(after, ZB_PARTICLE_SIZE_CHANGE, rammer, 251);
        addParticle(after, ZB_PARTICLE_SIZE_CHANGE, rammer == -0.5 ? 1.0 : rammer, 250);
    }
    EventTotals totals;
    countEvents(before, after, totals);
    EXPECT_EQ(totals.rubyBites, 2);
    EXPECT_EQ(totals.wallHits, 1);
    EXPECT_EQ(totals.hazardHits, 1);
    EXPECT_EQ(totals.contacts, 3);
    EXPECT_EQ(totals.scoringRams, 1);
}

TEST(Events, zibberFieldsTellBurstsShotsAndStunsRemovalsTellPickups) {
    Snapshot before, after;
    before.mapSize = 60.0;
    addZibber(before, 1, ZB_KIND_DASHER, -1, 0);  // bursts
    addZibber(after, 0, ZB_KIND_DASHER, -1, 0);
    addZibber(before, 1, ZB_KIND_SHOOTER, ZB_SHOT_CHARGE, 0);  // fires
    addZibber(after, 1, ZB_KIND_SHOOTER, -1, 0);
    addZibber(before, 1, ZB_KIND_SHOOTER, ZB_SHOT_CHARGE - 1, 0);  // too short a charge
    addZibber(after, 1, ZB_KIND_SHOOTER, -1, 0);
    addZibber(before, 1, ZB_KIND_DASHER, 60, 0);  // a dash, not a shot, and just stunned
    addZibber(after, 1, ZB_KIND_DASHER, -1, ZB_STUN_TICKS);
    addZibber(before, 0, ZB_KIND_SHOOTER, 80, ZB_STUN_TICKS);  // long dead: counts for nothing
    addZibber(after, 0, ZB_KIND_SHOOTER, -1, ZB_STUN_TICKS);
    // Beyond mapSize + 1.5 a removal is a cull; a pickup may lie close to the rim.
    after.removals = {4.0, 61.6, 0.0, 4.0, 0.0, -59.5, 4.0, 3.0, 4.0};
    after.numRemovals = 3;
    EventTotals totals;
    countEvents(before, after, totals);
    EXPECT_EQ(totals.bursts, 1);
    EXPECT_EQ(totals.launches, 1);
    EXPECT_EQ(totals.stuns, 1);
    EXPECT_EQ(totals.pointsCollected, 2);
}

}  // namespace
