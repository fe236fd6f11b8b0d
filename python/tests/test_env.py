"""ZibberEnv over the real library."""

import math

import numpy as np
import pytest

from zibber import ZibberEnv
from zibber.columns import Zibber as Z


@pytest.fixture
def env(lib):
    e = ZibberEnv(sizes=(2, 2), max_steps=400, death_penalty=5.0, seed=11)
    yield e
    e.close()


def random_actions(env, rng):
    return {a: (int(rng.integers(0, 3)), float(rng.uniform(-math.pi, math.pi)))
            for a in env.agents}


def test_reset_gives_every_agent_an_observation(env):
    obs, infos = env.reset(seed=3)
    assert env.agents == env.possible_agents == ["team0_0", "team0_1", "team1_0", "team1_1"]
    space = env.observation_space("team0_0")
    for agent, o in obs.items():
        assert o.shape == space.shape and o.dtype == np.float32
        assert np.isfinite(o).all()
    assert infos["team1_0"]["team"] == 1
    with pytest.raises(KeyError):
        env.action_space("nobody")


def test_each_reset_builds_a_fresh_world_and_seeds_repeat(env):
    first, _ = env.reset(seed=3)
    old = env.world
    env.step(random_actions(env, np.random.default_rng(0)))
    again, _ = env.reset(seed=3)
    assert env.world is not old and old.closed
    for agent in first:
        assert np.array_equal(first[agent], again[agent])
    other, _ = env.reset(seed=4)
    assert any(not np.array_equal(first[a], other[a]) for a in first)


def test_rewards_add_up_to_scores_less_penalties(env):
    env.reset(seed=8)
    rng = np.random.default_rng(1)
    totals = dict.fromkeys(env.possible_agents, 0.0)
    deaths = set()
    while env.agents:
        acting = list(env.agents)
        obs, rewards, terms, truncs, infos = env.step(random_actions(env, rng))
        assert set(obs) == set(rewards) == set(terms) == set(truncs) == set(acting)
        for agent in acting:
            totals[agent] += rewards[agent]
            if terms[agent]:
                deaths.add(agent)
                assert agent not in env.agents
    assert env.world.tick <= env.max_steps
    z = env.world.zibbers()
    for agent, total in totals.items():
        i = env.possible_agents.index(agent)
        penalty = env.death_penalty if agent in deaths else 0.0
        assert total == z[i, Z.SCORE] - penalty
        assert (z[i, Z.ALIVE] == 0) == (agent in deaths)


def test_truncation_ends_every_live_agent(lib):
    env = ZibberEnv(sizes=(1, 1), max_steps=5)
    env.reset(seed=1)
    for _ in range(5):
        _, _, terms, truncs, _ = env.step({})
    assert all(truncs.values()) and not any(terms.values())
    assert env.agents == []
    with pytest.raises(RuntimeError, match="every agent is done"):
        env.step({})
    env.close()


def test_bot_teams_play_but_only_learners_are_agents(lib):
    env = ZibberEnv(sizes=(1, 2), teams=("random", None), seed=0)
    obs, _ = env.reset()
    assert env.possible_agents == list(obs) == ["team1_0", "team1_1"]
    for _ in range(30):
        env.step({})
    # The bot turned its zibber; the agents kept walking straight.
    z = env.world.zibbers()
    assert z[0, Z.TARGET_HEADING] != 0 and z[1, Z.TARGET_HEADING] == z[1, Z.HEADING]
    env.close()


def test_actions_are_relative_to_the_heading(env):
    env.reset(seed=2)
    heading = env.world.zibbers()[0, Z.HEADING]
    env.step({"team0_0": (0, 0.5)})
    z = env.world.zibbers()
    assert z[0, Z.TARGET_HEADING] == pytest.approx(heading + 0.5)
    with pytest.raises(ValueError):
        env.step({"team0_0": (0, math.nan)})
    with pytest.raises(ValueError):
        env.step({"someone": (0, 0.0)})
    target = env.world.zibbers()[1, Z.TARGET_HEADING]
    with pytest.raises(ValueError):
        env.step({"team0_1": (1, 1.0), "team0_0": 1})
    # Refused steps neither stepped nor half-applied their actions.
    assert env.world.tick == 1
    assert env.world.zibbers()[1, Z.TARGET_HEADING] == target


def test_discrete_actions_pick_kind_and_sector(lib):
    env = ZibberEnv(sizes=(1, 1), angle_bins=4, seed=0)
    env.reset()
    assert env.action_space("team0_0").n == 12
    heading = env.world.zibbers()[0, Z.HEADING]
    env.step({"team0_0": 2 * 4 + 3})  # hold, last sector: +3/4 pi
    z = env.world.zibbers()
    assert z[0, Z.TARGET_HEADING] == pytest.approx(heading + 0.75 * math.pi)
    assert z[0, Z.CHARGE_TICKS] >= 1
    with pytest.raises(ValueError):
        env.step({"team0_0": 12})
    env.close()
