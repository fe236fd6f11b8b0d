"""ZibberVecEnv: many matches stepped together, with arrays instead of dicts.

A thin layer over EnvBatch: the library steps every match, builds every
observation and restarts ended matches in one call, writing into arrays
allocated once. No Python work is done per agent or per match.
"""

import operator

import numpy as np

from . import spaces
from .env import agent_names, check_sizes
from .env_core import EnvBatch, seed_sequence


class ZibberVecEnv:
    """``num_envs`` matches of teams ``sizes``; arrays are indexed [env, agent].

    Agents are the zibbers of the learning teams (all teams unless ``teams``
    names bots: one entry per team, None or a bot name), in the order of
    ``possible_agents``. ``step(kinds, angles)`` takes (num_envs, num_agents)
    arrays: kind 0 walk, 1 tap, 2 hold (-1 keeps the last action) and the
    angle relative to the heading; with ``angle_bins`` it is ``step(actions)``
    with discrete indices. Actions of dead agents are ignored.

    The returned arrays are the env's own buffers, overwritten by the next
    reset or step: copy what you keep. A match whose agents are all done
    restarts at once: its row then holds the new match's first observation,
    and ``infos[e]`` the "final_observation", "team_scores" and "episode"
    (seed, hash, ticks, over) of the match that ended.
    """

    def __init__(self, num_envs, sizes=(2, 2), kinds=None, max_steps=4000,
                 death_penalty=10.0, obs_config=None, threads=1, seed=None, teams=None,
                 angle_bins=None):
        self.num_envs = operator.index(num_envs)
        if self.num_envs < 1:
            raise ValueError("num_envs must be at least 1")
        self.sizes = check_sizes(sizes)
        self.max_steps = operator.index(max_steps)
        self.death_penalty = float(death_penalty)
        self.batch = EnvBatch(self.num_envs, self.sizes, kinds=kinds, teams=teams,
                              obs_config=obs_config, max_steps=self.max_steps,
                              death_penalty=self.death_penalty, angle_bins=angle_bins,
                              threads=threads, seed=seed)
        self.obs_config = self.batch.obs_config
        self.angle_bins = self.batch.angle_bins
        self.possible_agents = agent_names(self.sizes, teams)
        self.num_agents = len(self.possible_agents)
        self.single_observation_space = spaces.Box(
            -np.inf, np.inf, (self.obs_config.size,), np.float32)
        self._started = False

    def reset(self, seed=None):
        """Fresh matches everywhere; returns observations (num_envs, num_agents, size)."""
        self.batch.reset(None if seed is None else seed_sequence(seed, self.num_envs))
        self._started = True
        return self.batch.observations

    @property
    def alive(self):
        """(num_envs, num_agents) bool: which agents act in the next step."""
        return self.batch.alive

    def world(self, e):
        """The World of match e, to read its exports."""
        return self.batch.world(e)

    def step(self, kinds, angles=None):
        """Returns observations, rewards, terminated, truncated (all [env, agent]) and infos."""
        if not self._started:
            raise RuntimeError("call reset() before step()")
        b = self.batch
        infos = [{} for _ in range(self.num_envs)]
        if b.step(kinds, angles):
            for e in np.flatnonzero(b.ended):
                ep = b.episodes[e]
                infos[e] = {"final_observation": b.final_observations[e].copy(),
                            "team_scores": b.team_scores[e].copy(),
                            "episode": {"seed": int(ep["seed"]), "hash": int(ep["hash"]),
                                        "ticks": int(ep["ticks"]), "over": bool(ep["over"])}}
        return b.observations, b.rewards, b.terminated, b.truncated, infos

    def close(self):
        self.batch.close()
