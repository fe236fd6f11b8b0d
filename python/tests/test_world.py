"""World over the real library: lifetime, argument checks, exports."""

import gc
import math

import numpy as np
import pytest

from zibber import HOLD, TAP, WALK, ZIBBER_CAPACITY, World
from zibber.columns import Zibber as Z


@pytest.fixture
def world(lib):
    with World(seed=1) as w:
        yield w


def test_fresh_world_is_empty(world):
    assert (world.tick, world.map_size, world.is_over) == (0, 67.0, False)
    assert world.num_teams == 0 and world.team_scores().shape == (0,)
    for export in (world.zibbers, world.points, world.rubys, world.obstacles,
                   world.projectiles, world.particles, world.removals):
        assert export().shape[0] == 0
    world.step(3)  # a World without zibbers can still be stepped
    assert world.tick == 3


def test_setup_places_teams_and_the_first_ruby(world):
    world.setup([3, 3], kinds=[0, 1, 2, 3, 0, 1])
    z = world.zibbers()
    assert z.shape == (6, Z.WIDTH)
    assert z[0].tolist() == [254, 57, -3, math.pi, math.pi, 1, 0, 0, 0, 0, 0, -1, 0, 1]
    assert z[:, Z.ID].tolist() == [254, 253, 252, 251, 250, 249]
    assert z[:, Z.KIND].tolist() == [0, 1, 2, 3, 0, 1]
    assert world.teams.tolist() == [0, 0, 0, 1, 1, 1]
    assert world.rubys().tolist() == [[65534, 0, 0, 0, 0, 1.5, 1.0, 30]]
    assert world.team_scores().tolist() == [0, 0]


def test_random_kinds_follow_the_seed(lib):
    with World(1) as a:
        a.setup([1])
        assert a.zibbers()[0, Z.KIND] == 2


def test_bad_arguments_raise_before_reaching_the_library(world):
    world.setup([2, 1])
    before = world.zibbers().copy()
    with pytest.raises(ValueError):
        world.setup([2, -1])
    with pytest.raises(ValueError):
        world.setup([1, 1], kinds=[0])
    with pytest.raises(TypeError):
        world.setup([1.5])
    with pytest.raises(ValueError):
        world.setup([ZIBBER_CAPACITY, 1])
    with pytest.raises(IndexError):
        world.set_action(3, WALK, 0.0)
    with pytest.raises(IndexError):
        world.set_action(-1, WALK, 0.0)
    with pytest.raises(ValueError):
        world.set_action(0, WALK, math.nan)
    with pytest.raises(ValueError):
        world.set_action(0, WALK, math.inf)
    with pytest.raises(TypeError):
        world.set_action(0, 1.0, 0.0)
    with pytest.raises(ValueError):
        world.set_actions([0, 1], [WALK], [0.0, 0.0])
    with pytest.raises(IndexError):
        world.set_actions([0, 3], [WALK, WALK], [0.0, 0.0])
    with pytest.raises(ValueError):
        world.set_actions([0, 1], [WALK, WALK], [0.0, math.nan])
    with pytest.raises(ValueError):
        world.step(-1)
    # None of the rejected calls changed anything, the target headings included.
    assert np.array_equal(world.zibbers(), before)
    with pytest.raises(ValueError):
        World(seed=-1)


def test_set_actions_reach_every_zibber(world):
    world.setup([2, 2])
    world.set_actions([0, 3], [WALK, HOLD], [0.5, -2.0])
    world.set_action(1, TAP, 7.0)
    z = world.zibbers()
    assert z[[0, 1, 3], Z.TARGET_HEADING].tolist() == [0.5, 7.0, -2.0]
    world.step(3)
    z = world.zibbers()
    assert z[3, Z.CHARGE_TICKS] == 3  # hold lasts until the next action
    assert z[0, Z.CHARGE_TICKS] == -1


def test_exhausted_id_pool_is_reported(world):
    world.setup([ZIBBER_CAPACITY])
    # Ids of zibbers replaced by a new setup are not handed out again; the
    # refused setup of as many zibbers as before must not pass for a success.
    for sizes in ([1], [ZIBBER_CAPACITY]):
        with pytest.raises(RuntimeError, match="new World"):
            world.setup(sizes)


def play(seed, steps):
    with World(seed) as w:
        w.setup([2, 2])
        rng = np.random.default_rng(seed)
        for _ in range(steps):
            w.set_actions(range(4), rng.integers(0, 3, 4), rng.uniform(-4, 4, 4))
            w.step()
        return [e.copy() for e in (w.zibbers(), w.points(), w.rubys(), w.obstacles())]


def test_same_seed_and_actions_replay_exactly(lib):
    a, b = play(5, 60), play(5, 60)
    for x, y in zip(a, b):
        assert np.array_equal(x, y)
    assert not np.array_equal(a[0], play(6, 60)[0])


def test_exports_reuse_their_buffer_and_follow_growth(world):
    world.setup([2, 2])
    seen_points = []
    for _ in range(30):
        world.step()
        pts = world.points()
        assert pts.shape == (world.num_points, 4)
        seen_points.append(pts.shape[0])
    assert max(seen_points) > 0  # the arena scatters points
    first = world.zibbers()
    world.step()
    second = world.zibbers()
    assert np.shares_memory(first, second)


def test_handle_is_destroyed_once(lib):
    w = World(3)
    w.close()
    w.close()
    assert w.closed
    with pytest.raises(RuntimeError, match="closed"):
        w.step()
    with pytest.raises(RuntimeError, match="closed"):
        _ = w.tick
    finalizer = World(4)._finalizer
    gc.collect()
    assert not finalizer.alive
