"""World: one match, owning its library handle."""

import math
import operator
import weakref

import numpy as np

from . import _lib
from . import columns

# Ids of discarded zibbers are not handed out again, so a World that has been
# set up before may hold fewer.
ZIBBER_CAPACITY = columns.MAX_ZIBBERS

_INT32_MIN, _INT32_MAX = -(2**31), 2**31 - 1

# export name -> (count function, fill function, width)
_EXPORTS = {
    "zibbers": ("zb_num_zibbers", "zb_zibbers", columns.Zibber.WIDTH),
    "points": ("zb_num_points", "zb_points", columns.Point.WIDTH),
    "rubys": ("zb_num_rubys", "zb_rubys", columns.Ruby.WIDTH),
    "obstacles": ("zb_num_obstacles", "zb_obstacles", columns.Obstacle.WIDTH),
    "projectiles": ("zb_num_projectiles", "zb_projectiles", columns.Projectile.WIDTH),
    "particles": ("zb_num_particles", "zb_particles", columns.Particle.WIDTH),
    "removals": ("zb_num_removals", "zb_removals", columns.Removal.WIDTH),
}


def _int(value, name, low=_INT32_MIN, high=_INT32_MAX):
    try:
        number = operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be an integer, got {value!r}") from None
    if not low <= number <= high:
        raise ValueError(f"{name} must be between {low} and {high}, got {number}")
    return number


def _int_array(values, name, low=_INT32_MIN, high=_INT32_MAX):
    arr = np.asarray(values)
    if arr.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, got shape {arr.shape}")
    if arr.size and arr.dtype.kind not in "iu":
        raise TypeError(f"{name} must hold integers, got dtype {arr.dtype}")
    if arr.size and (arr.min() < low or arr.max() > high):
        raise ValueError(f"{name} must lie between {low} and {high}")
    return arr.astype(np.int64)


class World:
    """A match: ``setup`` teams, ``set_action``, ``step``, read the exports.

    The export methods (``zibbers()``, ``points()``, ...) return an array of
    shape (count, width) that is a view of a buffer the World reuses: the next
    call of the same method overwrites it, so ``.copy()`` what you keep.
    """

    def __init__(self, seed=0):
        seed = _int(seed, "seed", 0, 2**64 - 1)
        lib = _lib.load()
        handle = lib.zb_create(seed)
        if not handle:
            raise MemoryError("zb_create returned no world")
        self._lib = lib
        self._raw = handle
        # Destroys the handle exactly once: on close() or when collected.
        self._finalizer = weakref.finalize(self, lib.zb_destroy, handle)
        self.seed = seed
        self._n_zibbers = 0
        self._teams = np.zeros(0, dtype=np.int64)
        self._buffers = {}

    @classmethod
    def view(cls, handle, sizes):
        """A World over a handle that something else owns (a match of an EnvBatch).

        Closing it, or collecting it, leaves the handle alone; the owner closes
        its views before it destroys the handle.
        """
        self = cls.__new__(cls)
        self._lib = _lib.load()
        self._raw = handle
        self._finalizer = weakref.finalize(self, lambda: None)
        self.seed = None
        self._n_zibbers = int(sum(sizes))
        self._teams = np.repeat(np.arange(len(sizes)), sizes)
        self._teams.setflags(write=False)
        self._buffers = {}
        return self

    # lifecycle

    def close(self):
        self._finalizer()
        self._raw = None

    @property
    def closed(self):
        return self._raw is None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __repr__(self):
        if self.closed:
            return "<World closed>"
        return f"<World seed={self.seed} tick={self.tick} zibbers={self._n_zibbers}>"

    @property
    def _h(self):
        # The library would quietly accept a null handle; a closed World is a bug.
        if self._raw is None:
            raise RuntimeError("this World is closed")
        return self._raw

    # setup and control

    def setup(self, sizes, kinds=None):
        """Replace all zibbers with len(sizes) teams; kinds per zibber, -1 = random."""
        sizes = [_int(s, f"sizes[{t}]", 0, ZIBBER_CAPACITY) for t, s in enumerate(sizes)]
        total = sum(sizes)
        if total > ZIBBER_CAPACITY:
            raise ValueError(f"{total} zibbers requested, at most {ZIBBER_CAPACITY} fit")
        c_sizes = np.array(sizes, dtype=np.int32)
        c_kinds = None
        if kinds is not None:
            kinds = _int_array(kinds, "kinds")
            if kinds.shape[0] != total:
                raise ValueError(f"kinds has {kinds.shape[0]} entries, expected {total}")
            c_kinds = kinds.astype(np.int32)
        h = self._h
        rubys_before = self._lib.zb_num_rubys(h)
        self._lib.zb_setup(
            h,
            c_sizes.ctypes.data if sizes else None,
            len(sizes),
            None if c_kinds is None or total == 0 else c_kinds.ctypes.data,
        )
        # A refused setup changes nothing, so the old zibbers may even match in
        # number; the centre ruby that every accepted setup adds tells them apart.
        accepted = self._lib.zb_num_rubys(h) == rubys_before + 1
        if not accepted or self._lib.zb_num_zibbers(h) != total:
            raise RuntimeError(
                f"setup of {total} zibbers refused: this World's ids are used up "
                "by earlier setups; create a new World"
            )
        self._n_zibbers = total
        self._teams = np.repeat(np.arange(len(sizes)), sizes)
        self._teams.setflags(write=False)

    @property
    def teams(self):
        """Team index of each zibber (zibbers are stored team by team)."""
        return self._teams

    def set_action(self, index, kind, angle):
        """Give zibber `index` an action for the next step; angle is absolute."""
        index = _int(index, "index")
        if not 0 <= index < self._n_zibbers:
            raise IndexError(f"zibber index {index} out of range 0..{self._n_zibbers - 1}")
        kind = _int(kind, "kind")
        angle = float(angle)
        if not math.isfinite(angle):
            raise ValueError(f"angle must be finite, got {angle}")
        self._lib.zb_set_action(self._h, index, kind, angle)

    def set_actions(self, indices, kinds, angles):
        """set_action for many zibbers; the three sequences must be equally long."""
        indices = _int_array(indices, "indices")
        kinds = _int_array(kinds, "kinds")
        angles = np.asarray(angles, dtype=np.float64)
        if angles.ndim != 1:
            raise ValueError(f"angles must be one-dimensional, got shape {angles.shape}")
        n = indices.shape[0]
        if kinds.shape[0] != n or angles.shape[0] != n:
            raise ValueError(
                f"indices, kinds and angles differ in length: {n}, {kinds.shape[0]}, {angles.shape[0]}"
            )
        if n and (indices.min() < 0 or indices.max() >= self._n_zibbers):
            raise IndexError(f"zibber indices must lie in 0..{self._n_zibbers - 1}")
        if not np.isfinite(angles).all():
            raise ValueError("angles must be finite")
        fn, h = self._lib.zb_set_action, self._h
        for i, k, a in zip(indices.tolist(), kinds.tolist(), angles.tolist()):
            fn(h, i, k, a)

    def step(self, n=1):
        n = _int(n, "n", 0, 2**63 - 1)
        fn, h = self._lib.zb_step, self._h
        for _ in range(n):
            fn(h)

    # scalar reads

    @property
    def tick(self):
        return self._lib.zb_tick(self._h)

    @property
    def map_size(self):
        return self._lib.zb_map_size(self._h)

    @property
    def is_over(self):
        return bool(self._lib.zb_is_over(self._h))

    @property
    def num_teams(self):
        return self._lib.zb_num_teams(self._h)

    @property
    def num_zibbers(self):
        return self._lib.zb_num_zibbers(self._h)

    @property
    def num_points(self):
        return self._lib.zb_num_points(self._h)

    @property
    def num_rubys(self):
        return self._lib.zb_num_rubys(self._h)

    @property
    def num_obstacles(self):
        return self._lib.zb_num_obstacles(self._h)

    @property
    def num_projectiles(self):
        return self._lib.zb_num_projectiles(self._h)

    @property
    def num_particles(self):
        return self._lib.zb_num_particles(self._h)

    @property
    def num_removals(self):
        return self._lib.zb_num_removals(self._h)

    def team_scores(self):
        """A new int32 array: the best score reached by a member of each team."""
        h = self._h
        out = np.zeros(max(self._lib.zb_num_teams(h), 0), dtype=np.int32)
        if out.size:
            self._lib.zb_team_scores(h, out.ctypes.data)
        return out

    # array exports

    def _export(self, name):
        count_name, fill_name, width = _EXPORTS[name]
        h = self._h
        n = getattr(self._lib, count_name)(h)
        buf, addr = self._buffers.get(name, (None, 0))
        if buf is None or buf.shape[0] < n:
            # Grow geometrically so a growing array is not reallocated every step.
            rows = max(n, 16, 0 if buf is None else 2 * buf.shape[0])
            buf = np.empty((rows, width), dtype=np.float64)
            addr = buf.ctypes.data
            self._buffers[name] = (buf, addr)
        if n > 0:
            getattr(self._lib, fill_name)(h, addr)
        return buf[:n]

    def zibbers(self):
        return self._export("zibbers")

    def points(self):
        return self._export("points")

    def rubys(self):
        return self._export("rubys")

    def obstacles(self):
        return self._export("obstacles")

    def projectiles(self):
        return self._export("projectiles")

    def particles(self):
        return self._export("particles")

    def removals(self):
        return self._export("removals")
