#include <gtest/gtest.h>

#include "host/events.h"

namespace {

using namespace zbhost;

void addZibber(Snapshot& s, double alive, int kind, int chargeTicks, int stunTicks) {
    std::vector<double> z(ZB_ZIBBER_WIDTH, 0.0);
    z[ZB_ZIBBER_RADIUS] = 1.0;
    z[ZB_ZIBBER_ALIVE] = alive;
    z[ZB_ZIBBER_KIND] = kind;
    z[ZB_ZIBBER_CHARGE_TICKS] = chargeTicks;
    z[ZB_ZIBBER_STUN_TICKS] = stunTicks;
    s.zibbers.insert(s.zibbers.end(), z.begin(), z.end());
    ++s.numZibbers;
}

void addParticle(Snapshot& s, int kind, double amount, double zibberId, double contactA) {
    s.particles.insert(s.particles.end(),
                       {double(kind), 0.0, 0.0, amount, zibberId, contactA, contactA == -1.0 ? -1.0 : 250.0});
    ++s.numParticles;
}

void addRemoval(Snapshot& s, double x, double y) {
    s.removals.insert(s.removals.end(), {4.0, x, y});
    ++s.numRemovals;
}

TEST(Events, particlesTellBitesWallsHazardsAndRams) {
    Snapshot before;
    Snapshot after;
    addParticle(after, 0, -0.4, -1, -1);
    addParticle(after, 1, -0.7, -1, -1);
    addParticle(after, 2, 0.30000000000000004, -1, -1);  // wall
    addParticle(after, 2, 0.2, -1, -1);                  // hazard obstacle
    // A ram from behind: the rammer shrinks and scores.
    addParticle(after, 2, 1.0, -1, 251);
    addParticle(after, 2, -0.5, 251, -1);
    addParticle(after, 2, 1.0, 250, -1);
    // Back to back: a bounce, but nobody scores.
    addParticle(after, 2, 0.0, -1, 249);
    addParticle(after, 2, 0.0, 249, -1);
    addParticle(after, 2, 0.0, 248, -1);
    // Head-on: both swell, nobody scores.
    addParticle(after, 2, 0.5, -1, 247);
    addParticle(after, 2, 0.5, 247, -1);
    addParticle(after, 2, 0.5, 246, -1);

    EventTotals totals;
    countEvents(before, after, totals);
    EXPECT_EQ(totals.rubyBites, 2);
    EXPECT_EQ(totals.wallHits, 1);
    EXPECT_EQ(totals.hazardHits, 1);
    EXPECT_EQ(totals.contacts, 3);
    EXPECT_EQ(totals.scoringRams, 1);
}

TEST(Events, zibberFieldsTellBurstsShotsAndStuns) {
    Snapshot before;
    Snapshot after;
    addZibber(before, 1, 0, -1, 0);  // bursts
    addZibber(after, 0, 0, -1, 0);
    addZibber(before, 1, 2, 50, 0);  // fires after 50 steps
    addZibber(after, 1, 2, -1, 0);
    addZibber(before, 1, 2, 49, 0);  // too short a charge: no shot
    addZibber(after, 1, 2, -1, 0);
    addZibber(before, 1, 0, 60, 0);   // a kind-0 release is a dash, not a shot
    addZibber(after, 1, 0, -1, 24);   // ... and this one was just stunned
    addZibber(before, 0, 2, 80, 24);  // long dead: counts for nothing
    addZibber(after, 0, 2, -1, 24);

    EventTotals totals;
    countEvents(before, after, totals);
    EXPECT_EQ(totals.bursts, 1);
    EXPECT_EQ(totals.launches, 1);
    EXPECT_EQ(totals.stuns, 1);
}

TEST(Events, removalsBeyondTheRimAreCullsNotPickups) {
    Snapshot before;
    before.mapSize = 60.0;
    Snapshot after;
    addRemoval(after, 61.6, 0.0);   // culled beyond mapSize + 1.5
    addRemoval(after, 0.0, -59.5);  // a pickup close to the rim
    addRemoval(after, 3.0, 4.0);
    EventTotals totals;
    countEvents(before, after, totals);
    EXPECT_EQ(totals.pointsCollected, 2);
}

}  // namespace
