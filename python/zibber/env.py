"""ZibberEnv: every zibber of a match is an agent, all acting at once.

It follows the parallel multi-agent API (string agent names; reset returns
observations and infos; step returns observations, rewards, terminations,
truncations and infos) without depending on any RL library. It runs on the
same library core as ZibberVecEnv, with one match.
"""

import math
import operator

import numpy as np

from . import spaces
from .columns import Zibber as Z
from .env_core import KEEP, KINDS, EnvBatch


def check_sizes(sizes):
    """Team sizes as a tuple of ints; an environment needs at least one zibber."""
    sizes = tuple(operator.index(s) for s in sizes)
    if not sizes or min(sizes) < 0 or sum(sizes) == 0:
        raise ValueError(f"sizes must be non-negative with at least one zibber: {sizes}")
    return sizes


def _learns(teams, t):
    return teams is None or teams[t] in (None, "learner")


def agent_names(sizes, teams=None):
    """Names of the learning zibbers in index order: team-major, like the library stores them."""
    return [f"team{t}_{k}" for t, size in enumerate(sizes) if _learns(teams, t) for k in range(size)]


def learner_zibbers(sizes, teams=None):
    """The zibber index of each agent."""
    zibber_teams = np.repeat(np.arange(len(sizes)), sizes)
    return [i for i, t in enumerate(zibber_teams.tolist()) if _learns(teams, t)]


class ZibberEnv:
    """Teams of ``sizes``; an action is (kind, angle relative to the heading).

    With ``angle_bins=B`` the action space is Discrete(3 * B) instead:
    action a means kind a // B, and angle bin a % B of B equal sectors
    starting behind the zibber. ``teams`` may name a bot for some teams (one
    entry per team, None for learning agents); only the learning zibbers are
    agents.
    """

    metadata = {"name": "zibber_v0", "render_modes": []}

    def __init__(self, sizes=(2, 2), kinds=None, max_steps=4000, death_penalty=10.0,
                 obs_config=None, angle_bins=None, seed=None, teams=None):
        self.sizes = check_sizes(sizes)
        self.kinds = None if kinds is None else list(kinds)
        self.max_steps = operator.index(max_steps)
        self.death_penalty = float(death_penalty)
        self._batch = EnvBatch(1, self.sizes, kinds=self.kinds, teams=teams, obs_config=obs_config,
                               max_steps=self.max_steps, death_penalty=self.death_penalty,
                               angle_bins=angle_bins, auto_restart=False)
        self.obs_config = self._batch.obs_config
        self.angle_bins = self._batch.angle_bins

        self.possible_agents = agent_names(self.sizes, teams)
        self._index = {name: i for i, name in enumerate(self.possible_agents)}
        zibber_teams = np.repeat(np.arange(len(self.sizes)), self.sizes)
        self._zibber = learner_zibbers(self.sizes, teams)
        self._teams = zibber_teams[self._zibber]
        self._obs_space = spaces.Box(-np.inf, np.inf, (self.obs_config.size,), np.float32)
        if self.angle_bins is None:
            self._act_space = spaces.Box(
                np.array([0.0, -math.pi], dtype=np.float32),
                np.array([KINDS - 1, math.pi], dtype=np.float32),
                dtype=np.float32,
            )
        else:
            self._act_space = spaces.Discrete(KINDS * self.angle_bins)

        self._rng = np.random.default_rng(seed)
        self._started = False
        self.agents = []
        self._kinds = np.full((1, len(self.possible_agents)), KEEP, dtype=np.int32)
        self._angles = np.zeros((1, len(self.possible_agents)))

    def observation_space(self, agent):
        self._check_name(agent)
        return self._obs_space

    def action_space(self, agent):
        self._check_name(agent)
        return self._act_space

    @property
    def num_agents(self):
        return len(self.agents)

    @property
    def max_num_agents(self):
        return len(self.possible_agents)

    @property
    def world(self):
        """The match's World, to read its exports (None before the first reset)."""
        return self._batch.world(0) if self._started else None

    def _check_name(self, agent):
        if agent not in self._index:
            raise KeyError(f"unknown agent {agent!r}")

    def reset(self, seed=None, options=None):
        """Start a new match in a fresh World. Returns (observations, infos)."""
        if seed is not None:
            self._rng = np.random.default_rng(seed)
        self._batch.reset([int(self._rng.integers(1, 2**63))])
        self._started = True
        self.agents = list(self.possible_agents)
        scores = self._scores()
        return self._per_agent(self.agents), {a: self._info(a, scores) for a in self.agents}

    def _decode(self, action):
        """(kind, relative angle) from one agent's action; a discrete one stays an index."""
        if self.angle_bins is not None:
            a = operator.index(action)
            if not 0 <= a < KINDS * self.angle_bins:
                raise ValueError(f"action {a} outside 0..{KINDS * self.angle_bins - 1}")
            return a, 0.0
        try:
            kind, angle = action
        except (TypeError, ValueError):
            raise ValueError(f"an action is a pair (kind, angle), got {action!r}") from None
        kind, angle = float(kind), float(angle)
        if not (math.isfinite(kind) and math.isfinite(angle)):
            raise ValueError(f"action values must be finite, got {action!r}")
        # Continuous policies give a real number: round it to the nearest kind.
        return min(max(int(math.floor(kind + 0.5)), 0), KINDS - 1), angle

    def step(self, actions):
        """Apply actions (agents left out keep their last one) and advance one step."""
        if not self._started:
            raise RuntimeError("call reset() before step()")
        if not self.agents:
            raise RuntimeError("every agent is done: call reset() to start a new match")
        live = set(self.agents)
        kinds, angles = self._kinds, self._angles
        kinds.fill(KEEP)
        for agent, action in actions.items():
            if agent not in live:
                raise ValueError(f"{agent!r} is not an active agent")
            a = self._index[agent]
            kinds[0, a], angles[0, a] = self._decode(action)
        b = self._batch
        b.step(kinds, None if self.angle_bins is not None else angles)

        acting = self.agents
        scores = self._scores()
        rewards, terminations, truncations, infos = {}, {}, {}, {}
        for agent in acting:
            a = self._index[agent]
            rewards[agent] = float(b.rewards[0, a])
            terminations[agent] = bool(b.terminated[0, a])
            truncations[agent] = bool(b.truncated[0, a])
            infos[agent] = self._info(agent, scores)
        self.agents = [a for a in acting if not (terminations[a] or truncations[a])]
        return self._per_agent(acting), rewards, terminations, truncations, infos

    def _scores(self):
        return self._batch.world(0).zibbers()[self._zibber, Z.SCORE]

    def _per_agent(self, agents):
        obs = self._batch.observations[0].copy()
        return {a: obs[self._index[a]] for a in agents}

    def _info(self, agent, scores):
        a = self._index[agent]
        return {"team": int(self._teams[a]), "index": self._zibber[a], "score": int(scores[a])}

    def close(self):
        self._batch.close()
        self._started = False
