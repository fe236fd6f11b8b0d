"""The layout of the ego-centric observation vector that libzibber_env writes.

The vectors themselves are built in C++ (env/observe.cpp, documented in
env/README.md); this module names their blocks and features so that a
vector can be taken apart. The feature names are those of the table there.
"""

from dataclasses import dataclass

import numpy as np


OWN_FEATURES = (
    "radius", "growth", "vel_fwd", "vel_left", "charging", "charge", "stun",
    "kind0", "kind1", "kind2", "kind3", "rim_gap", "centre_fwd", "centre_left",
    "map_size", "score", "tick", "target_offset",
)
ZIBBER_FEATURES = (
    "valid", "fwd", "left", "gap", "vel_fwd", "vel_left", "cos_heading",
    "sin_heading", "radius", "charging", "stunned",
)
POINT_FEATURES = ("valid", "fwd", "left")
RUBY_FEATURES = ("valid", "fwd", "left", "size", "ready")
OBSTACLE_FEATURES = ("valid", "fwd", "left", "gap", "hazard", "thickness")
PROJECTILE_FEATURES = ("valid", "fwd", "left", "vel_fwd", "vel_left")


@dataclass(frozen=True)
class ObsConfig:
    """How many of each neighbour a vector holds, and the distance unit."""

    rivals: int = 3
    mates: int = 2
    points: int = 6
    rubys: int = 2
    obstacles: int = 3
    projectiles: int = 2
    scale: float = 20.0

    def blocks(self):
        """(name, slots, features) of each block, in vector order."""
        return [
            ("own", 1, OWN_FEATURES),
            ("rivals", self.rivals, ZIBBER_FEATURES),
            ("mates", self.mates, ZIBBER_FEATURES),
            ("points", self.points, POINT_FEATURES),
            ("rubys", self.rubys, RUBY_FEATURES),
            ("obstacles", self.obstacles, OBSTACLE_FEATURES),
            ("projectiles", self.projectiles, PROJECTILE_FEATURES),
        ]

    def offsets(self):
        """name -> slice of the vector holding that block."""
        out, start = {}, 0
        for name, slots, features in self.blocks():
            out[name] = slice(start, start + slots * len(features))
            start += slots * len(features)
        return out

    def unpack(self, vector):
        """name -> (slots, features) view of one observation vector."""
        vector = np.asarray(vector)
        return {
            name: vector[self.offsets()[name]].reshape(slots, len(features))
            for name, slots, features in self.blocks()
        }

    @property
    def size(self):
        return sum(slots * len(features) for _, slots, features in self.blocks())
