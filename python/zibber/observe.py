"""Ego-centric observation vectors, built for all zibbers at once from the exports.

Several worlds can be observed in one pass (build_batch): their exports are
padded to a common length and every array gets a leading world axis, so the
cost grows with the worlds' sizes, not with the square of the batch, and
numpy's fixed cost per call is paid once for the whole batch.

Positions and velocities are turned into each zibber's heading frame: the
first coordinate points along its heading ("forward"), the second 90 degrees
to its left. Distances are divided by ``scale``. Every slot of a neighbour
block starts with a valid flag; missing neighbours are all zeros.
"""

from dataclasses import dataclass

import numpy as np

from .columns import BURST_RADIUS, SHOT_CHARGE, START_MAP_SIZE, STUN_TICKS
from .columns import Obstacle as O
from .columns import Point as P
from .columns import Projectile as Q
from .columns import Ruby as R
from .columns import Zibber as Z


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


def _nearest(dist, k):
    """Indices of the k smallest entries along the last axis (inf = excluded), and validity."""
    m = dist.shape[-1]
    lead = dist.shape[:-1]
    if k == 0 or m == 0:
        return np.zeros(lead + (k,), dtype=np.intp), np.zeros(lead + (k,), dtype=bool)
    take = min(k, m)
    if m > 64:
        # Only worth its extra calls when rows are long.
        part = np.argpartition(dist, take - 1, axis=-1)[..., :take]
        order = _take(dist, part).argsort(axis=-1, kind="stable")
        idx = _take(part, order)
    else:
        idx = dist.argsort(axis=-1, kind="stable")[..., :take]
    valid = np.isfinite(_take(dist, idx))
    if take < k:  # fewer objects than slots: pad with invalid slots
        pad = lead + (k - take,)
        idx = np.concatenate([idx, np.zeros(pad, dtype=np.intp)], axis=-1)
        valid = np.concatenate([valid, np.zeros(pad, dtype=bool)], axis=-1)
    return idx, valid


def _take(a, idx):
    """a[w, i, idx[w, i, j]]: np.take_along_axis on the last axis, without its overhead."""
    w, n = idx.shape[:2]
    return a[np.arange(w)[:, None, None], np.arange(n)[None, :, None], idx]


def _gather(col, idx):
    """col[w, idx[w, a, j]] for a per-world column col of shape (W, M)."""
    return col[np.arange(col.shape[0])[:, None, None], idx]


def _block(valid, columns):
    """Stack (W, A, k) feature arrays into a (W, A, k, f) block with invalid slots zeroed."""
    out = np.empty(valid.shape + (len(columns),))
    for f, col in enumerate(columns):
        out[..., f] = col
    # Invalid slots point at real or zero-padded (finite) rows, so this zeroes them.
    out *= valid[..., None]
    return out


class _Frame:
    """Each observer's position and heading, for turning world vectors into its frame."""

    def __init__(self, zib, scale):
        self.x = zib[..., Z.X][..., None]  # (W, A, 1)
        self.y = zib[..., Z.Y][..., None]
        self.c = np.cos(zib[..., Z.HEADING])[..., None]
        self.s = np.sin(zib[..., Z.HEADING])[..., None]
        self.inv_scale = 1.0 / scale

    def rotate(self, dx, dy):
        return self.c * dx + self.s * dy, self.c * dy - self.s * dx

    def delta(self, ox, oy):
        """(W, A, M) offsets from each observer to each object of its world."""
        return ox[:, None, :] - self.x, oy[:, None, :] - self.y


def _zibber_block(frame, zib, d2, mask, k):
    idx, valid = _nearest(np.where(mask, d2, np.inf), k)
    other = _gather(zib, idx)  # (W, A, k, width)
    dx = other[..., Z.X] - frame.x
    dy = other[..., Z.Y] - frame.y
    fwd, left = frame.rotate(dx, dy)
    vf, vl = frame.rotate(other[..., Z.VX], other[..., Z.VY])
    rel_heading = other[..., Z.HEADING] - zib[..., Z.HEADING][..., None]
    gap = np.hypot(dx, dy) - other[..., Z.RADIUS] - zib[..., Z.RADIUS][..., None]
    return _block(valid, [
        1.0, fwd * frame.inv_scale, left * frame.inv_scale, gap * frame.inv_scale,
        vf, vl, np.cos(rel_heading), np.sin(rel_heading),
        other[..., Z.RADIUS] / BURST_RADIUS,
        other[..., Z.CHARGE_TICKS] >= 0, other[..., Z.STUN_TICKS] > 0,
    ])


def _positions_block(frame, objs, present, k, extra=()):
    """Nearest objects by centre; objs is (W, M, width) with X, Y in columns 1, 2."""
    # Hundreds of points per world make these the largest arrays: square in
    # place and recompute the few offsets that are kept.
    dx, dy = frame.delta(objs[..., 1], objs[..., 2])
    d2 = np.multiply(dx, dx, out=dx)
    d2 += np.multiply(dy, dy, out=dy)
    np.copyto(d2, np.inf, where=~present[:, None, :])
    idx, valid = _nearest(d2, k)
    fwd, left = frame.rotate(_gather(objs[..., 1], idx) - frame.x,
                             _gather(objs[..., 2], idx) - frame.y)
    cols = [1.0, fwd * frame.inv_scale, left * frame.inv_scale]
    cols += [_gather(col, idx) for col in extra]
    return _block(valid, cols), idx, valid


def _obstacle_block(frame, obs, present, radius, k):
    ax, ay = obs[..., O.AX][:, None, :], obs[..., O.AY][:, None, :]
    ex, ey = obs[..., O.BX][:, None, :] - ax, obs[..., O.BY][:, None, :] - ay
    seg_len2 = ex * ex + ey * ey
    t = ((frame.x - ax) * ex + (frame.y - ay) * ey) / np.where(seg_len2 > 0, seg_len2, 1.0)
    # A disc's nearest centre-line point is its centre.
    t = np.where(obs[..., O.IS_CIRCLE][:, None, :] == 1, 0.0, np.clip(t, 0.0, 1.0))
    dx, dy = ax + ex * t - frame.x, ay + ey * t - frame.y
    gap = np.hypot(dx, dy) - obs[..., O.RADIUS][:, None, :] - radius[..., None]
    idx, valid = _nearest(np.where(present[:, None, :], gap, np.inf), k)
    fwd, left = frame.rotate(_take(dx, idx), _take(dy, idx))
    return _block(valid, [
        1.0, fwd * frame.inv_scale, left * frame.inv_scale,
        _take(gap, idx) * frame.inv_scale,
        _gather(obs[..., O.HAZARD], idx), _gather(obs[..., O.RADIUS], idx) / BURST_RADIUS,
    ])


def _projectile_block(frame, shots, present, k):
    block, idx, valid = _positions_block(frame, shots, present, k)
    vf, vl = frame.rotate(_gather(shots[..., Q.VX], idx), _gather(shots[..., Q.VY], idx))
    vel = np.stack([vf, vl], axis=-1) * valid[..., None]
    return np.concatenate([block, vel], axis=-1)


def _own_block(zib, frame, map_size, tick, scale):
    own = np.zeros(zib.shape[:2] + (len(OWN_FEATURES),))
    x, y, r = zib[..., Z.X], zib[..., Z.Y], zib[..., Z.RADIUS]
    vf, vl = frame.rotate(zib[..., Z.VX][..., None], zib[..., Z.VY][..., None])
    cf, cl = frame.rotate(-x[..., None], -y[..., None])
    charge = zib[..., Z.CHARGE_TICKS]
    kind = zib[..., Z.KIND]
    own[..., 0] = r / BURST_RADIUS
    own[..., 1] = zib[..., Z.GROWTH_RATE] * 10.0
    own[..., 2], own[..., 3] = vf[..., 0], vl[..., 0]
    own[..., 4] = charge >= 0
    own[..., 5] = np.maximum(charge, 0) / SHOT_CHARGE
    own[..., 6] = zib[..., Z.STUN_TICKS] / STUN_TICKS
    for k in range(4):
        own[..., 7 + k] = kind == k
    own[..., 11] = (map_size - np.hypot(x, y) - r) / scale
    own[..., 12], own[..., 13] = cf[..., 0] / scale, cl[..., 0] / scale
    own[..., 14] = map_size / START_MAP_SIZE
    own[..., 15] = zib[..., Z.SCORE] / 100.0
    own[..., 16] = tick / 1000.0
    own[..., 17] = _wrap_pi(zib[..., Z.TARGET_HEADING] - zib[..., Z.HEADING]) / np.pi
    return own


def _pad(arrays, width):
    """Per-world (count, width) arrays as one zero-padded (W, M, width) array and a mask.

    M is at least 1, so that gathering from a world without objects still has
    a (masked) row to point at.
    """
    if len(arrays) == 1 and len(arrays[0]):  # the common case needs no copy
        a = np.asarray(arrays[0], dtype=np.float64)
        return a[None], np.ones((1, a.shape[0]), dtype=bool)
    m = max(1, max(len(a) for a in arrays))
    out = np.zeros((len(arrays), m, width))
    present = np.zeros((len(arrays), m), dtype=bool)
    for w, a in enumerate(arrays):
        out[w, :len(a)] = a
        present[w, :len(a)] = True
    return out, present


def build_batch(config, worlds):
    """Observations for several worlds in one pass.

    worlds: a sequence of dicts with the keys zibbers, teams, map_size, tick,
    points, rubys, obstacles and projectiles (export arrays as World returns
    them, teams as World.teams). Returns one (count, config.size) float32
    array per world; dead zibbers get zeros.
    """
    zib, _ = _pad([w["zibbers"] for w in worlds], Z.WIDTH)
    teams, _ = _pad([np.asarray(w["teams"])[:, None] for w in worlds], 1)
    teams = teams[..., 0]
    pts, pts_in = _pad([w["points"] for w in worlds], P.WIDTH)
    rbs, rbs_in = _pad([w["rubys"] for w in worlds], R.WIDTH)
    obs, obs_in = _pad([w["obstacles"] for w in worlds], O.WIDTH)
    shots, shots_in = _pad([w["projectiles"] for w in worlds], Q.WIDTH)
    shots_in &= shots[..., Q.REMOVED] == 0
    map_size = np.array([float(w["map_size"]) for w in worlds])[:, None]
    tick = np.array([float(w["tick"]) for w in worlds])[:, None]

    n = zib.shape[1]
    frame = _Frame(zib, config.scale)
    alive = zib[..., Z.ALIVE] == 1  # also false in padding rows
    dx, dy = frame.delta(zib[..., Z.X], zib[..., Z.Y])
    d2 = dx * dx + dy * dy
    others = alive[:, None, :] & ~np.eye(n, dtype=bool)
    same_team = teams[:, :, None] == teams[:, None, :]

    parts = [
        _own_block(zib, frame, map_size, tick, config.scale)[:, :, None, :],
        _zibber_block(frame, zib, d2, others & ~same_team, config.rivals),
        _zibber_block(frame, zib, d2, others & same_team, config.mates),
        _positions_block(frame, pts, pts_in, config.points)[0],
        _positions_block(
            frame, rbs, rbs_in, config.rubys,
            extra=(rbs[..., R.SCALE] * rbs[..., R.REMAINING], rbs[..., R.COOLDOWN] <= 0),
        )[0],
        _obstacle_block(frame, obs, obs_in, zib[..., Z.RADIUS], config.obstacles),
        _projectile_block(frame, shots, shots_in, config.projectiles),
    ]
    out = np.concatenate([p.reshape(p.shape[:2] + (-1,)) for p in parts], axis=-1)
    out = out.astype(np.float32)
    out[~alive] = 0.0
    return [out[w, :len(world["zibbers"])] for w, world in enumerate(worlds)]


def build_observations(config, zibbers, teams, map_size, tick, points, rubys,
                       obstacles, projectiles):
    """One float32 row of length config.size per zibber of one world; dead zibbers get zeros."""
    return build_batch(config, [dict(
        zibbers=zibbers, teams=teams, map_size=map_size, tick=tick, points=points,
        rubys=rubys, obstacles=obstacles, projectiles=projectiles,
    )])[0]
