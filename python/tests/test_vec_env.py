"""ZibberVecEnv over the library core."""

import numpy as np
import pytest

from zibber import EnvBatch, ZibberVecEnv


def random_actions(rng, shape):
    return rng.integers(0, 3, shape), rng.uniform(-np.pi, np.pi, shape)


def run(threads, steps=40):
    env = ZibberVecEnv(4, sizes=(2, 1), max_steps=25, threads=threads, seed=9)
    rng = np.random.default_rng(0)
    out = [env.reset().copy()]
    for _ in range(steps):
        obs, rewards, _, _, infos = env.step(*random_actions(rng, (4, 3)))
        out += [obs.copy(), rewards.copy()] + [i["final_observation"] for i in infos if i]
    env.close()
    return out


def test_threads_do_not_change_the_results(lib):
    one, two = run(1), run(2)
    assert len(one) == len(two) > 81
    for a, b in zip(one, two):
        assert np.array_equal(a, b)


def test_rewards_and_automatic_restart(lib):
    env = ZibberVecEnv(2, sizes=(1, 1), max_steps=30, death_penalty=3.0, seed=2)
    first = env.reset().copy()
    rng = np.random.default_rng(1)
    totals = np.zeros((2, 2))
    for step in range(30):
        obs, rewards, terminated, truncated, infos = env.step(*random_actions(rng, (2, 2)))
        totals += rewards
        if step < 29:
            assert not any(infos)
    # Both matches hit max_steps together, ended and restarted at once.
    assert [env.world(e).tick for e in range(2)] == [0, 0]
    assert (terminated | truncated).all() and env.alive.all()
    assert not np.array_equal(infos[0]["final_observation"], obs[0])
    assert not np.array_equal(first, obs)  # the next seeds of the sequence
    assert [i["episode"]["ticks"] for i in infos] == [30, 30]
    # Rewards were score gains less the penalty of each burst; with teams of
    # one, the team scores are the zibbers' own.
    for e in range(2):
        assert np.allclose(totals[e], infos[e]["team_scores"] - 3.0 * terminated[e])
    env.close()


def test_bot_teams_are_not_agents_and_discrete_actions(lib):
    env = ZibberVecEnv(3, sizes=(2, 3), teams=(None, "hunter"), angle_bins=4, seed=3)
    assert env.possible_agents == ["team0_0", "team0_1"]
    assert env.reset().shape == (3, 2, env.obs_config.size)
    env.step(np.full((3, 2), 11))
    heading = env.world(0).zibbers()[0, 3]
    env.step(np.full((3, 2), 2 * 4 + 3))  # hold, last sector: +3/4 pi
    assert env.world(0).zibbers()[0, 4] == pytest.approx(heading + 0.75 * np.pi)
    with pytest.raises(ValueError, match="outside 0 to 11"):
        env.step(np.full((3, 2), 12))
    env.close()


def test_bad_actions_are_refused_with_a_reason(lib):
    env = ZibberVecEnv(2, sizes=(1, 1))
    with pytest.raises(RuntimeError, match="reset"):
        env.step(np.zeros((2, 2), dtype=int), np.zeros((2, 2)))
    env.reset()
    cases = [
        ((np.zeros((2, 3), dtype=int), np.zeros((2, 3))), ValueError, r"shape \(2, 2\)"),
        ((np.zeros((2, 2), dtype=int), np.zeros(2)), ValueError, "angles must have shape"),
        ((np.zeros((2, 2)), np.zeros((2, 2))), TypeError, "kinds must be integers"),
        ((np.full((2, 2), 3), np.zeros((2, 2))), ValueError, r"kind \[0, 0\] = 3 is not 0"),
        ((np.full((2, 2), 2**40), np.zeros((2, 2))), ValueError, "is not 0"),
        ((np.zeros((2, 2), dtype=int), np.full((2, 2), np.nan)), ValueError, "must be finite"),
        ((np.zeros((2, 2), dtype=int), None), ValueError, "angles are needed"),
    ]
    for args, error, message in cases:
        with pytest.raises(error, match=message):
            env.step(*args)
    assert all(env.world(e).tick == 0 for e in range(2))
    env.close()


def test_bots_only_matches_from_given_seeds(lib):
    # What a tournament runner does: line-up and seeds given, results read at the end.
    batch = EnvBatch(3, (2, 2), teams=("hunter", "random"), auto_restart=False, max_steps=3000)
    batch.reset([7, 8, 7])
    ends = {}
    for _ in range(3000):
        batch.step()
        ends.update({e: batch.episodes[e].copy() for e in np.flatnonzero(batch.ended)})
    assert sorted(ends) == [0, 1, 2]
    assert ends[0]["seed"] == ends[2]["seed"] == 7 and ends[1]["seed"] == 8
    assert ends[0]["hash"] == ends[2]["hash"] != ends[1]["hash"]
    assert ends[0]["ticks"] == ends[2]["ticks"] > 0
    batch.close()
