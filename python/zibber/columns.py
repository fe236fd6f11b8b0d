"""Column indices of the exported arrays, so code reads ``z[:, Zibber.X]``.

Each class also carries WIDTH, the number of doubles per element.
"""


class Zibber:
    ID = 0
    X = 1
    Y = 2
    HEADING = 3
    TARGET_HEADING = 4
    RADIUS = 5
    SCORE = 6
    VX = 7
    VY = 8
    GROWTH_RATE = 9
    KIND = 10
    CHARGE_TICKS = 11  # -1 while not charging
    STUN_TICKS = 12
    ALIVE = 13
    WIDTH = 14


class Point:
    ID = 0
    X = 1
    Y = 2
    AMBIENT = 3  # 1 if scattered by the arena, 0 if dropped by a burst or a shot
    WIDTH = 4


class Ruby:
    ID = 0
    X = 1
    Y = 2
    VX = 3
    VY = 4
    SCALE = 5  # the ruby's radius is SCALE * REMAINING
    REMAINING = 6
    COOLDOWN = 7
    WIDTH = 8


class Obstacle:
    ID = 0
    IS_CIRCLE = 1  # 1: disc around (AX, AY); 0: segment AX,AY - BX,BY thickened by RADIUS
    AX = 2
    AY = 3
    BX = 4
    BY = 5
    RADIUS = 6
    HAZARD = 7
    CHARGE_RATE = 8
    SPIN = 9
    CHARGE = 10
    WIDTH = 11


class Projectile:
    ID = 0
    X = 1
    Y = 2
    VX = 3
    VY = 4
    REMOVED = 5
    RADIUS = 6
    WIDTH = 7


class Particle:
    KIND = 0  # 0 ruby bite, 1 bite that used a ruby up, 2 size change (wall, collision, hazard)
    X = 1
    Y = 2
    AMOUNT = 3
    ZIBBER_ID = 4  # -1 when none
    CONTACT_ID_A = 5
    CONTACT_ID_B = 6
    WIDTH = 7


class Removal:
    ID = 0
    X = 1
    Y = 2
    WIDTH = 3


# Action kinds accepted by World.set_action.
WALK = 0
TAP = 1
HOLD = 2
