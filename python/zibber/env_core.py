"""EnvBatch: many matches stepped by libzibber_env, writing into numpy arrays.

The arrays are allocated once and handed to the library; every reset and
step overwrites them in place, so keep copies of what must outlive a step.
All arrays are indexed [env, agent], the agents being the zibbers of the
learning teams in index order.
"""

import ctypes
import operator

import numpy as np

from . import _lib
from .observe import ObsConfig
from .world import World

KINDS = 3  # walk, tap, hold
KEEP = -1  # an action kind that sends nothing: the last action goes on
# What may drive a team; None and "learner" mean the caller's agents.
TEAM_CODES = {"learner": -1, "collector": 0, "hunter": 1, "charger": 2, "random": 3}

EPISODE = np.dtype([("seed", np.uint64), ("hash", np.uint64), ("ticks", np.uint32), ("over", np.int32)])


class _Config(ctypes.Structure):
    _fields_ = [
        ("numEnvs", ctypes.c_int32), ("numTeams", ctypes.c_int32),
        ("sizes", ctypes.c_void_p), ("kinds", ctypes.c_void_p), ("teams", ctypes.c_void_p),
        ("rivals", ctypes.c_int32), ("mates", ctypes.c_int32), ("points", ctypes.c_int32),
        ("rubys", ctypes.c_int32), ("obstacles", ctypes.c_int32), ("projectiles", ctypes.c_int32),
        ("scale", ctypes.c_double), ("deathPenalty", ctypes.c_double), ("maxSteps", ctypes.c_uint32),
        ("angleBins", ctypes.c_int32), ("threads", ctypes.c_int32), ("autoRestart", ctypes.c_int32),
        ("playOut", ctypes.c_int32), ("seed", ctypes.c_uint64),
    ]


class _Buffers(ctypes.Structure):
    _fields_ = [(name, ctypes.c_void_p) for name in (
        "observations", "rewards", "terminated", "truncated", "alive", "ended",
        "finalObservations", "episodes", "teamScores")]


def team_codes(teams, count):
    """Per team: -1 for learning agents, else the bot's code."""
    if teams is None:
        return [-1] * count
    teams = list(teams)
    if len(teams) != count:
        raise ValueError(f"teams names {len(teams)} teams, sizes {count}")
    codes = []
    for t in teams:
        name = "learner" if t is None else t
        if name not in TEAM_CODES:
            raise ValueError(f"team {t!r} is none of {', '.join(TEAM_CODES)} (or None)")
        codes.append(TEAM_CODES[name])
    return codes


def seed_sequence(seed, count):
    """`count` match seeds drawn from one integer seed (or from entropy when None)."""
    return np.random.default_rng(seed).integers(1, 2**63, count, dtype=np.uint64)


class EnvBatch:
    """``num_envs`` matches of teams ``sizes``; ``teams`` says who drives each team.

    teams: None (every team learns) or one entry per team, None/"learner" or
    a bot name (collector, hunter, charger, random). Arrays: observations,
    rewards, terminated, truncated, alive ([env, agent]), ended ([env]), and
    for the matches that ended in the last call final_observations, episodes
    (seed, hash, ticks, over) and team_scores ([env, team]).
    """

    def __init__(self, num_envs, sizes, kinds=None, teams=None, obs_config=None, max_steps=4000,
                 death_penalty=10.0, angle_bins=None, threads=1, auto_restart=True, play_out=False,
                 seed=None):
        _lib.load()
        lib = _lib.load_env()
        self._lib = lib
        self.sizes = tuple(operator.index(s) for s in sizes)
        self.obs_config = obs_config or ObsConfig()
        self.angle_bins = None if angle_bins is None else operator.index(angle_bins)
        if self.angle_bins is not None and self.angle_bins < 1:
            raise ValueError("angle_bins must be at least 1")
        codes = team_codes(teams, len(self.sizes))
        self.teams = tuple(codes)
        sizes32 = np.array(self.sizes, dtype=np.int32)
        codes32 = np.array(codes, dtype=np.int32)
        kinds32 = None
        if kinds is not None:
            kinds32 = np.asarray(kinds)
            if kinds32.shape != (sum(self.sizes),) or kinds32.dtype.kind not in "iu":
                raise ValueError(f"kinds must be {sum(self.sizes)} integers, one per zibber")
            kinds32 = np.clip(kinds32, -1, 2**31 - 1).astype(np.int32)

        c = _Config()
        lib.env_default_config(ctypes.byref(c))
        c.numEnvs = operator.index(num_envs)
        c.numTeams = len(self.sizes)
        c.sizes = sizes32.ctypes.data if self.sizes else None
        c.kinds = None if kinds32 is None else kinds32.ctypes.data
        c.teams = codes32.ctypes.data if codes else None
        o = self.obs_config
        c.rivals, c.mates, c.points = o.rivals, o.mates, o.points
        c.rubys, c.obstacles, c.projectiles, c.scale = o.rubys, o.obstacles, o.projectiles, o.scale
        c.deathPenalty = float(death_penalty)
        c.maxSteps = operator.index(max_steps) if 1 <= max_steps < 2**32 else 0
        c.angleBins = self.angle_bins or 0
        c.threads = operator.index(threads)
        c.autoRestart = int(bool(auto_restart))
        c.playOut = int(bool(play_out))
        first = seed_sequence(seed, 1)[0]
        c.seed = int(first)
        error = ctypes.create_string_buffer(256)
        handle = lib.env_create(ctypes.byref(c), error, len(error))
        if not handle:
            raise ValueError(error.value.decode())
        self._raw = handle
        self.num_envs = lib.env_num_envs(handle)
        self.num_agents = lib.env_num_agents(handle)
        if lib.env_observation_size(handle) != o.size:
            self.close()
            raise RuntimeError("the library's observation layout differs from zibber.observe")

        e, a, f = self.num_envs, self.num_agents, o.size
        self.observations = np.zeros((e, a, f), dtype=np.float32)
        self.rewards = np.zeros((e, a), dtype=np.float32)
        self.terminated = np.zeros((e, a), dtype=bool)
        self.truncated = np.zeros((e, a), dtype=bool)
        self.alive = np.zeros((e, a), dtype=bool)
        self.ended = np.zeros(e, dtype=bool)
        self.final_observations = np.zeros((e, a, f), dtype=np.float32)
        self.episodes = np.zeros(e, dtype=EPISODE)
        self.team_scores = np.zeros((e, len(self.sizes)), dtype=np.int32)
        buffers = _Buffers(*(arr.ctypes.data for arr in (
            self.observations, self.rewards, self.terminated, self.truncated, self.alive,
            self.ended, self.final_observations, self.episodes, self.team_scores)))
        self._check(lib.env_set_buffers(handle, ctypes.byref(buffers)))
        self._views = {}
        self._kinds = np.zeros((e, a), dtype=np.int32)
        self._angles = np.zeros((e, a), dtype=np.float64)

    def _check(self, status):
        if status < 0:
            raise ValueError(self._lib.env_last_error(self._h).decode())
        return status

    @property
    def _h(self):
        if self._raw is None:
            raise RuntimeError("this EnvBatch is closed")
        return self._raw

    def _forget_views(self, which):
        for e in which:
            view = self._views.pop(int(e), None)
            if view is not None:
                view.close()

    def reset(self, seeds=None):
        """Every match afresh: from seeds[e], or from the next seed of each match's sequence."""
        h = self._h
        if seeds is not None:
            seeds = np.ascontiguousarray(seeds, dtype=np.uint64)
            if seeds.shape != (self.num_envs,):
                raise ValueError(f"seeds must have shape ({self.num_envs},), got {seeds.shape}")
        self._forget_views(list(self._views))
        self._check(self._lib.env_reset(h, None if seeds is None else seeds.ctypes.data))

    def reset_match(self, index, seed):
        self._forget_views([index])
        self._check(self._lib.env_reset_match(self._h, operator.index(index), int(seed)))

    def step(self, kinds=None, angles=None):
        """One step of every match; returns how many ended (see ``ended``).

        Matches without agents (bots only) need no actions: ``step()``.
        """
        h = self._h
        shape = (self.num_envs, self.num_agents)
        if kinds is None and self.num_agents == 0:
            kinds = self._kinds
        kinds = np.asarray(kinds)
        if kinds.shape != shape:
            raise ValueError(f"kinds must have shape {shape}, got {kinds.shape}")
        if kinds.size and kinds.dtype.kind not in "iu":
            raise TypeError(f"kinds must be integers, got dtype {kinds.dtype}")
        if kinds.dtype != np.int32:
            # Out-of-range values must stay out of range, not wrap, on the way to int32.
            kinds = np.clip(kinds.astype(np.int64), -2, 2**31 - 1)
        np.copyto(self._kinds, kinds, casting="unsafe")
        angles_addr = None
        if self.angle_bins is not None:
            if angles is not None:
                raise ValueError("discrete actions (angle_bins) take no angles")
        elif self.num_agents:
            if angles is None:
                raise ValueError("angles are needed unless the actions are discrete (angle_bins)")
            angles = np.asarray(angles)
            if angles.shape != shape:
                raise ValueError(f"angles must have shape {shape}, got {angles.shape}")
            if angles.size and angles.dtype.kind not in "fiu":
                raise TypeError(f"angles must be real numbers, got dtype {angles.dtype}")
            np.copyto(self._angles, angles, casting="unsafe")
            angles_addr = self._angles.ctypes.data
        ended = self._check(self._lib.env_step(h, self._kinds.ctypes.data, angles_addr))
        if ended and self._views:
            self._forget_views(np.flatnonzero(self.ended))
        return ended

    def world(self, index):
        """The match's World, to read its exports (closed when the match restarts)."""
        index = operator.index(index)
        if not 0 <= index < self.num_envs:
            raise IndexError(f"match {index} outside 0..{self.num_envs - 1}")
        if index not in self._views:
            self._views[index] = World.view(self._lib.env_world(self._h, index), self.sizes)
        return self._views[index]

    def close(self):
        if getattr(self, "_raw", None) is not None:
            self._forget_views(list(self._views))
            self._lib.env_destroy(self._raw)
            self._raw = None

    def __del__(self):
        self.close()
