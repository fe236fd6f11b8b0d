"""The library's constants: export columns, action and zibber kinds, game numbers.

Column indices of the exported arrays let code read ``z[:, Zibber.X]``; each
class also carries WIDTH, the number of doubles per element. Every name here
is a ZB_* constant of include/zibber.h under a Python name; a test checks
that the two agree.
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
    KIND = 0  # one of BITE, FINAL_BITE, SIZE_CHANGE below
    X = 1
    Y = 2
    AMOUNT = 3
    ZIBBER_ID = 4  # -1 when none
    CONTACT_ID_A = 5
    CONTACT_ID_B = 6
    WIDTH = 7
    # particle kinds
    BITE = 0
    FINAL_BITE = 1  # the bite that used the ruby up
    SIZE_CHANGE = 2  # a wall hit, a hazard hit or a collision


class Removal:
    ID = 0
    X = 1
    Y = 2
    WIDTH = 3


class Kind:
    """Zibber kinds: what holding (charging) does."""

    DASHER = 0  # the release is a long dash
    BRACER = 1  # swells less in collisions while charging
    SHOOTER = 2  # a release after SHOT_CHARGE steps fires a stunning shot
    TURNER = 3  # turns faster while charging
    COUNT = 4


# Action kinds accepted by World.set_action.
WALK = 0
TAP = 1
HOLD = 2

BURST_RADIUS = 4.0  # a zibber whose radius exceeds this bursts
SHOT_CHARGE = 50  # steps a shooter must hold before its release fires
STUN_TICKS = 24  # steps a shot keeps a zibber stunned
WALK_SPEED = 0.35  # walking speed of a zibber of radius 1
DASH_SPEED_LIMIT = 0.11  # taps and a dasher's charge start only below this glide speed
SHOT_SPEED = 0.7  # distance a shot flies per step
POINT_CULL_MARGIN = 1.5  # points this far beyond the rim are removed
START_MAP_SIZE = 67.0  # the arena radius of a new World
MAX_ZIBBERS = 251  # the most zibbers a World holds over all its setups
WALL_HIT_GROWTH = 0.3  # the eventual swell of a wall hit
HAZARD_HIT_GROWTH = 0.2  # the eventual swell of a hazard hit

# The library's version (ZB_VERSION_*); zibber.__version__ holds it as text.
VERSION_MAJOR = 0
VERSION_MINOR = 2
VERSION_PATCH = 0
