"""Ego-centric observation vectors, built for all zibbers at once from the exports.

Positions and velocities are turned into each zibber's heading frame: the
first coordinate points along its heading ("forward"), the second 90 degrees
to its left. Distances are divided by ``scale``. Every slot of a neighbour
block starts with a valid flag; missing neighbours are all zeros.
"""

from dataclasses import dataclass

import numpy as np

from .columns import Obstacle as O
from .columns import Point as P
from .columns import Projectile as Q
from .columns import Ruby as R
from .columns import Zibber as Z

START_MAP_SIZE = 67.0
BURST_RADIUS = 4.0
SHOT_CHARGE = 50  # steps a kind-2 zibber must hold before its release shoots
STUN_STEPS = 24

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


def _wrap_pi(a):
    return (a + np.pi) % (2 * np.pi) - np.pi


def _nearest(d2, k):
    """Indices of the k smallest entries per row of d2 (inf = excluded), and validity."""
    n, m = d2.shape
    if k == 0 or m == 0:
        return np.zeros((n, k), dtype=np.intp), np.zeros((n, k), dtype=bool)
    take = min(k, m)
    if m > 64:
        # Only worth its extra calls when rows are long.
        part = np.argpartition(d2, take - 1, axis=1)[:, :take]
        order = d2[_rows(n), part].argsort(axis=1, kind="stable")
        idx = part[_rows(n), order]
    else:
        idx = d2.argsort(axis=1, kind="stable")[:, :take]
    valid = np.isfinite(d2[_rows(n), idx])
    if take < k:  # fewer objects than slots: pad with invalid slots
        pad = k - take
        idx = np.concatenate([idx, np.zeros((n, pad), dtype=np.intp)], axis=1)
        valid = np.concatenate([valid, np.zeros((n, pad), dtype=bool)], axis=1)
    return idx, valid


def _rows(n):
    return np.arange(n)[:, None]


class _Frame:
    """Each observer's position and heading, for turning world vectors into its frame."""

    def __init__(self, x, y, heading, scale):
        self.x = x[:, None]
        self.y = y[:, None]
        self.c = np.cos(heading)[:, None]
        self.s = np.sin(heading)[:, None]
        self.inv_scale = 1.0 / scale

    def rotate(self, dx, dy):
        return self.c * dx + self.s * dy, self.c * dy - self.s * dx

    def delta(self, ox, oy):
        """World offsets from each observer (rows) to each object (columns)."""
        return ox[None, :] - self.x, oy[None, :] - self.y


def _block(valid, columns):
    """Stack (n, k) feature arrays into an (n, k, f) block with invalid slots zeroed."""
    out = np.empty(valid.shape + (len(columns),))
    for f, col in enumerate(columns):
        out[:, :, f] = col
    # Invalid slots point at real (finite) rows or padding, so this zeroes them.
    out *= valid[:, :, None]
    return out


def _zibber_block(frame, zib, me, d2, mask, k):
    d2 = np.where(mask, d2, np.inf)
    idx, valid = _nearest(d2, k)
    other = zib[idx]  # (n, k, width)
    dx = other[..., Z.X] - frame.x
    dy = other[..., Z.Y] - frame.y
    fwd, left = frame.rotate(dx, dy)
    vf, vl = frame.rotate(other[..., Z.VX], other[..., Z.VY])
    rel_heading = other[..., Z.HEADING] - me[:, Z.HEADING][:, None]
    gap = np.hypot(dx, dy) - other[..., Z.RADIUS] - me[:, Z.RADIUS][:, None]
    return _block(valid, [
        1.0, fwd * frame.inv_scale, left * frame.inv_scale, gap * frame.inv_scale,
        vf, vl, np.cos(rel_heading), np.sin(rel_heading),
        other[..., Z.RADIUS] / BURST_RADIUS,
        other[..., Z.CHARGE_TICKS] >= 0, other[..., Z.STUN_TICKS] > 0,
    ])


def _positions_block(frame, ox, oy, k, extra=()):
    dx, dy = frame.delta(ox, oy)
    idx, valid = _nearest(dx * dx + dy * dy, k)
    if ox.size:
        rows = _rows(idx.shape[0])
        dx, dy = dx[rows, idx], dy[rows, idx]
    else:
        dx = dy = np.zeros(idx.shape)
    fwd, left = frame.rotate(dx, dy)
    cols = [1.0, fwd * frame.inv_scale, left * frame.inv_scale]
    cols += [col[idx] if col.size else np.zeros(idx.shape) for col in extra]
    return _block(valid, cols), idx, valid


def _obstacle_block(frame, obs, radius, k):
    n = frame.x.shape[0]
    if obs.shape[0] == 0:
        return np.zeros((n, k, len(OBSTACLE_FEATURES)))
    ax, ay = obs[:, O.AX][None, :], obs[:, O.AY][None, :]
    ex, ey = obs[:, O.BX][None, :] - ax, obs[:, O.BY][None, :] - ay
    seg_len2 = ex * ex + ey * ey
    t = ((frame.x - ax) * ex + (frame.y - ay) * ey) / np.where(seg_len2 > 0, seg_len2, 1.0)
    # A disc's nearest centre-line point is its centre.
    t = np.where(obs[:, O.IS_CIRCLE][None, :] == 1, 0.0, np.clip(t, 0.0, 1.0))
    dx, dy = ax + ex * t - frame.x, ay + ey * t - frame.y
    dist = np.hypot(dx, dy)
    gap = dist - obs[:, O.RADIUS][None, :] - radius[:, None]
    idx, valid = _nearest(gap, k)
    rows = _rows(n)
    fwd, left = frame.rotate(dx[rows, idx], dy[rows, idx])
    return _block(valid, [
        1.0, fwd * frame.inv_scale, left * frame.inv_scale, gap[rows, idx] * frame.inv_scale,
        obs[idx, O.HAZARD], obs[idx, O.RADIUS] / BURST_RADIUS,
    ])


def _projectile_block(frame, shots, k):
    block, idx, valid = _positions_block(frame, shots[:, Q.X], shots[:, Q.Y], k)
    vel = np.zeros(idx.shape + (2,))
    if shots.size:
        vel[..., 0], vel[..., 1] = frame.rotate(shots[idx, Q.VX], shots[idx, Q.VY])
        vel *= valid[:, :, None]
    return np.concatenate([block, vel], axis=2)


def _own_block(zib, frame, map_size, tick, scale):
    n = zib.shape[0]
    own = np.zeros((n, len(OWN_FEATURES)))
    x, y, r = zib[:, Z.X], zib[:, Z.Y], zib[:, Z.RADIUS]
    vf, vl = frame.rotate(zib[:, Z.VX][:, None], zib[:, Z.VY][:, None])
    cf, cl = frame.rotate(-x[:, None], -y[:, None])
    charge = zib[:, Z.CHARGE_TICKS]
    kind = zib[:, Z.KIND]
    own[:, 0] = r / BURST_RADIUS
    own[:, 1] = zib[:, Z.GROWTH_RATE] * 10.0
    own[:, 2], own[:, 3] = vf[:, 0], vl[:, 0]
    own[:, 4] = charge >= 0
    own[:, 5] = np.maximum(charge, 0) / SHOT_CHARGE
    own[:, 6] = zib[:, Z.STUN_TICKS] / STUN_STEPS
    for k in range(4):
        own[:, 7 + k] = kind == k
    own[:, 11] = (map_size - np.hypot(x, y) - r) / scale
    own[:, 12], own[:, 13] = cf[:, 0] / scale, cl[:, 0] / scale
    own[:, 14] = map_size / START_MAP_SIZE
    own[:, 15] = zib[:, Z.SCORE] / 100.0
    own[:, 16] = tick / 1000.0
    own[:, 17] = _wrap_pi(zib[:, Z.TARGET_HEADING] - zib[:, Z.HEADING]) / np.pi
    return own


def build_observations(config, zibbers, teams, map_size, tick, points, rubys,
                       obstacles, projectiles):
    """One float32 row of length config.size per zibber; dead zibbers get zeros."""
    zib = np.asarray(zibbers, dtype=np.float64)
    teams = np.asarray(teams)
    n = zib.shape[0]
    frame = _Frame(zib[:, Z.X], zib[:, Z.Y], zib[:, Z.HEADING], config.scale)
    alive = zib[:, Z.ALIVE] == 1

    dx, dy = frame.delta(zib[:, Z.X], zib[:, Z.Y])
    d2 = dx * dx + dy * dy
    others = alive[None, :] & ~np.eye(n, dtype=bool)
    same_team = teams[:, None] == teams[None, :]

    parts = [_own_block(zib, frame, map_size, tick, config.scale)]
    parts.append(_zibber_block(frame, zib, zib, d2, others & ~same_team, config.rivals))
    parts.append(_zibber_block(frame, zib, zib, d2, others & same_team, config.mates))
    parts.append(_positions_block(frame, points[:, P.X], points[:, P.Y], config.points)[0])
    parts.append(_positions_block(
        frame, rubys[:, R.X], rubys[:, R.Y], config.rubys,
        extra=(rubys[:, R.SCALE] * rubys[:, R.REMAINING], (rubys[:, R.COOLDOWN] <= 0) * 1.0),
    )[0])
    parts.append(_obstacle_block(frame, obstacles, zib[:, Z.RADIUS], config.obstacles))
    live_shots = projectiles[projectiles[:, Q.REMOVED] == 0]
    parts.append(_projectile_block(frame, live_shots, config.projectiles))

    out = np.concatenate([p.reshape(n, int(np.prod(p.shape[1:]))) for p in parts], axis=1)
    out = out.astype(np.float32)
    out[~alive] = 0.0
    return out
