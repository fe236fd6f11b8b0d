// Plain records of everything in the arena, stored by value in the World's
// arrays in creation order. References between records are indices or ids,
// never pointers, so arrays may grow and move freely.
#pragma once

#include <cstdint>
#include <vector>

namespace zb {

struct Contact {
    uint32_t otherIndex;  // index in World::zibbers of the lower-id partner
    int32_t age;          // steps since the bounce
};

struct Zibber {
    int32_t id = 0;
    double x = 0.0;
    double y = 0.0;
    double heading = 0.0;
    double targetHeading = 0.0;
    double radius = 0.0;
    double vx = 0.0;
    double vy = 0.0;
    double growthRate = 0.0;
    int32_t score = 0;
    int32_t kind = 0;
    int32_t chargeTicks = -1;  // -1 while not charging
    int32_t stunTicks = 0;
    uint8_t actionTap = 0;
    uint8_t actionHold = 0;
    uint8_t alive = 0;
    std::vector<Contact> contacts;
};

struct Point {
    uint32_t id;
    double x;
    double y;
    uint8_t ambient;  // scattered by the arena itself, counted in arenaPointCount
};

struct Ruby {
    uint32_t id;
    double x;
    double y;
    double vx;
    double vy;
    double scale;      // radius is scale * remaining; worth 100 * scale^2
    double remaining;  // fraction left
    int32_t cooldown;  // steps until the next bite
};

struct Obstacle {
    uint32_t id;
    uint8_t isCircle;  // disc around A, else segment A-B thickened by radius
    double ax;
    double ay;
    double bx;
    double by;
    double radius;
    uint8_t hazard;  // throws and swells zibbers; else pulses harmlessly
    double chargeRate;
    double spin;
    double charge;
};

struct Projectile {
    uint32_t id;
    double x;
    double y;
    double vx;
    double vy;
    uint8_t removed;
    double radius;
};

struct Particle {
    int32_t kind;  // ZB_PARTICLE_BITE, _FINAL_BITE or _SIZE_CHANGE
    double x;
    double y;
    double amount;
    int32_t zibberId;
    int32_t contactIdA;
    int32_t contactIdB;
};

struct Removal {
    uint32_t id;
    double x;
    double y;
};

// Scores wrap around in two's complement instead of overflowing.
inline int32_t addScore(int32_t score, int64_t gain) {
    return static_cast<int32_t>(static_cast<uint32_t>(score) + static_cast<uint32_t>(gain));
}

}  // namespace zb
