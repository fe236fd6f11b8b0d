"""ZibberEnv: every zibber of a match is an agent, all acting at once.

It follows the parallel multi-agent API (string agent names; reset returns
observations and infos; step returns observations, rewards, terminations,
truncations and infos) without depending on any RL library.
"""

import math
import operator

import numpy as np

from . import spaces
from .columns import Zibber as Z
from .observe import ObsConfig, build_observations
from .world import World

KINDS = 3  # walk, tap, hold


def check_sizes(sizes):
    """Team sizes as a tuple of ints; an environment needs at least one zibber."""
    sizes = tuple(operator.index(s) for s in sizes)
    if not sizes or min(sizes) < 0 or sum(sizes) == 0:
        raise ValueError(f"sizes must be non-negative with at least one zibber: {sizes}")
    return sizes


def agent_names(sizes):
    """Agent names in zibber index order: team-major, like the library stores them."""
    return [f"team{t}_{k}" for t, size in enumerate(sizes) for k in range(size)]


class ZibberEnv:
    """Teams of ``sizes``; an action is (kind, angle relative to the heading).

    With ``angle_bins=B`` the action space is Discrete(3 * B) instead:
    action a means kind a // B, and angle bin a % B of B equal sectors
    starting behind the zibber.
    """

    metadata = {"name": "zibber_v0", "render_modes": []}

    def __init__(self, sizes=(2, 2), kinds=None, max_steps=4000, death_penalty=10.0,
                 obs_config=None, angle_bins=None, seed=None):
        self.sizes = check_sizes(sizes)
        self.kinds = None if kinds is None else list(kinds)
        self.max_steps = operator.index(max_steps)
        self.death_penalty = float(death_penalty)
        self.obs_config = obs_config or ObsConfig()
        self.angle_bins = None if angle_bins is None else operator.index(angle_bins)
        if self.angle_bins is not None and self.angle_bins < 1:
            raise ValueError("angle_bins must be at least 1")

        self.possible_agents = agent_names(self.sizes)
        self._index = {name: i for i, name in enumerate(self.possible_agents)}
        self._teams = np.repeat(np.arange(len(self.sizes)), self.sizes)
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
        self.world = None
        self.agents = []
        self._scores = np.zeros(len(self.possible_agents))

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

    def _check_name(self, agent):
        if agent not in self._index:
            raise KeyError(f"unknown agent {agent!r}")

    def reset(self, seed=None, options=None):
        """Start a new match in a fresh World. Returns (observations, infos)."""
        if seed is not None:
            self._rng = np.random.default_rng(seed)
        world_seed = int(self._rng.integers(1, 2**63))
        self.close()
        self.world = World(world_seed)
        self.world.setup(self.sizes, self.kinds)
        self.agents = list(self.possible_agents)
        self._scores = np.zeros(len(self.possible_agents))
        obs = self._observe()
        return self._per_agent(obs, self.agents), {a: self._info(a) for a in self.agents}

    def _decode(self, action):
        """(kind, relative angle) from one agent's action."""
        if self.angle_bins is not None:
            a = operator.index(action)
            if not 0 <= a < KINDS * self.angle_bins:
                raise ValueError(f"action {a} outside 0..{KINDS * self.angle_bins - 1}")
            kind, sector = divmod(a, self.angle_bins)
            return kind, -math.pi + (sector + 0.5) * (2 * math.pi / self.angle_bins)
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
        if self.world is None:
            raise RuntimeError("call reset() before step()")
        live = set(self.agents)
        indices, kinds, angles = [], [], []
        zib = self.world.zibbers()
        for agent, action in actions.items():
            if agent not in live:
                raise ValueError(f"{agent!r} is not an active agent")
            kind, rel = self._decode(action)
            i = self._index[agent]
            indices.append(i)
            kinds.append(kind)
            angles.append(zib[i, Z.HEADING] + rel)
        self.world.set_actions(indices, kinds, angles)
        self.world.step()

        zib = self.world.zibbers()
        scores = zib[:, Z.SCORE]
        gained = scores - self._scores
        self._scores = scores.copy()
        alive = zib[:, Z.ALIVE] == 1
        truncate = self.world.tick >= self.max_steps
        acting = self.agents
        obs = self._observe()

        rewards, terminations, truncations, infos = {}, {}, {}, {}
        for agent in acting:
            i = self._index[agent]
            died = not alive[i]
            rewards[agent] = float(gained[i]) - (self.death_penalty if died else 0.0)
            terminations[agent] = died
            truncations[agent] = truncate and not died
            infos[agent] = self._info(agent)
        self.agents = [a for a in acting if not (terminations[a] or truncations[a])]
        return self._per_agent(obs, acting), rewards, terminations, truncations, infos

    def _observe(self):
        w = self.world
        return build_observations(
            self.obs_config, w.zibbers(), self._teams, w.map_size, w.tick,
            w.points(), w.rubys(), w.obstacles(), w.projectiles(),
        )

    def _per_agent(self, obs, agents):
        return {a: obs[self._index[a]] for a in agents}

    def _info(self, agent):
        i = self._index[agent]
        return {"team": int(self._teams[i]), "index": i, "score": int(self._scores[i])}

    def close(self):
        if self.world is not None:
            self.world.close()
            self.world = None
