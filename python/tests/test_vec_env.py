"""ZibberVecEnv over the real library."""

import numpy as np
import pytest

from zibber import ZibberVecEnv, build_observations


def random_actions(rng, shape):
    return rng.integers(0, 3, shape), rng.uniform(-np.pi, np.pi, shape)


def run(threads, steps=40):
    env = ZibberVecEnv(4, sizes=(2, 1), threads=threads, seed=9)
    rng = np.random.default_rng(0)
    out = [env.reset()]
    for _ in range(steps):
        out.append(env.step(*random_actions(rng, (4, 3)))[0])
    env.close()
    return out


def test_threads_do_not_change_the_results(lib):
    for a, b in zip(run(1), run(2)):
        assert np.array_equal(a, b)


def test_observations_are_those_of_each_world_alone(lib):
    vec = ZibberVecEnv(3, sizes=(2, 2), seed=5)
    obs = vec.reset()
    assert obs.shape == (3, 4, vec.obs_config.size) and obs.dtype == np.float32
    for _ in range(3):
        obs = vec.step(np.zeros((3, 4), dtype=int), np.full((3, 4), 0.3))[0]
    for e, w in enumerate(vec.worlds):
        alone = build_observations(vec.obs_config, w.zibbers(), w.teams, w.map_size, w.tick,
                                   w.points(), w.rubys(), w.obstacles(), w.projectiles())
        assert np.allclose(obs[e], alone)
    vec.close()


def test_rewards_and_automatic_restart(lib):
    env = ZibberVecEnv(2, sizes=(1, 1), max_steps=30, death_penalty=3.0, seed=2)
    env.reset()
    rng = np.random.default_rng(1)
    totals = np.zeros((2, 2))
    for step in range(30):
        worlds = list(env.worlds)
        obs, rewards, terminated, truncated, infos = env.step(*random_actions(rng, (2, 2)))
        totals += rewards
        if step < 29:
            assert not any(infos)
    # Both matches hit max_steps together, ended and restarted in fresh worlds.
    assert all(info["team_scores"].shape == (2,) for info in infos)
    assert all(env.worlds[e] is not worlds[e] and worlds[e].closed for e in range(2))
    assert [w.tick for w in env.worlds] == [0, 0]
    assert (terminated | truncated).all()
    final = [info["final_observation"] for info in infos]
    assert not np.array_equal(final[0], obs[0])
    # Rewards were score gains less the penalty of each burst; with teams of
    # one, the team scores are the zibbers' own.
    for e in range(2):
        assert np.allclose(totals[e], infos[e]["team_scores"] - 3.0 * terminated[e])


def test_bad_actions_are_refused(lib):
    env = ZibberVecEnv(2, sizes=(1, 1))
    with pytest.raises(RuntimeError):
        env.step(np.zeros((2, 2), dtype=int), np.zeros((2, 2)))
    env.reset()
    with pytest.raises(ValueError):
        env.step(np.zeros((2, 3), dtype=int), np.zeros((2, 3)))
    with pytest.raises(ValueError):
        env.step(np.full((2, 2), 3), np.zeros((2, 2)))
    with pytest.raises(ValueError):
        env.step(np.zeros((2, 2)), np.zeros((2, 2)))  # float kinds
    with pytest.raises(ValueError):
        env.step(np.zeros((2, 2), dtype=int), np.full((2, 2), np.nan))
    assert all(w.tick == 0 for w in env.worlds)
    env.close()
