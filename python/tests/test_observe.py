"""Observation vectors built from hand-made exports."""

import math

import numpy as np
import pytest

from zibber.columns import Obstacle as O
from zibber.columns import Zibber as Z
from zibber.observe import (
    OBSTACLE_FEATURES, OWN_FEATURES, POINT_FEATURES, PROJECTILE_FEATURES, RUBY_FEATURES,
    ZIBBER_FEATURES, ObsConfig, build_batch, build_observations,
)

CFG = ObsConfig(rivals=2, mates=1, points=2, rubys=1, obstacles=2, projectiles=1, scale=10.0)


def zibber(x, y, heading, alive=1, radius=1.0, kind=0):
    row = np.zeros(Z.WIDTH)
    row[[Z.X, Z.Y, Z.HEADING, Z.TARGET_HEADING, Z.RADIUS, Z.ALIVE, Z.KIND]] = (
        x, y, heading, heading, radius, alive, kind)
    row[Z.CHARGE_TICKS] = -1
    return row


def empty(width):
    return np.zeros((0, width))


def observe(zibbers, teams, points=None, rubys=None, obstacles=None, projectiles=None,
            map_size=67.0):
    return build_observations(
        CFG, np.array(zibbers), np.array(teams), map_size, 0,
        empty(4) if points is None else np.array(points, dtype=float),
        empty(8) if rubys is None else np.array(rubys, dtype=float),
        empty(11) if obstacles is None else np.array(obstacles, dtype=float),
        empty(7) if projectiles is None else np.array(projectiles, dtype=float),
    )


def block(obs, name, features):
    return obs[:, CFG.offsets()[name]].reshape(obs.shape[0], -1, len(features))


def test_layout_is_contiguous_and_sized():
    offsets = CFG.offsets()
    ends = [s.stop for s in offsets.values()]
    starts = [s.start for s in offsets.values()]
    assert starts[0] == 0 and ends[-1] == CFG.size
    assert starts[1:] == ends[:-1]
    obs = observe([zibber(0, 0, 0), zibber(3, 4, 0)], [0, 1])
    assert obs.shape == (2, CFG.size) and obs.dtype == np.float32
    parts = CFG.unpack(obs[0])
    assert parts["rivals"].shape == (2, len(ZIBBER_FEATURES))
    assert np.array_equal(parts["rivals"], block(obs, "rivals", ZIBBER_FEATURES)[0])
    assert parts["rivals"][0, ZIBBER_FEATURES.index("gap")] == pytest.approx(0.3)


def test_positions_are_in_the_heading_frame():
    # Facing +y: a point straight north is ahead, one to the west is on the left.
    obs = observe([zibber(5, 5, math.pi / 2)], [0], points=[[4, 5, 9, 1], [5, 3, 5, 1]])
    pts = block(obs, "points", POINT_FEATURES)[0]
    assert pts[0] == pytest.approx([1, 0, 0.2], abs=1e-6)  # west, 2 away: nearer, first
    assert pts[1] == pytest.approx([1, 0.4, 0], abs=1e-6)  # north, 4 away
    own = obs[0, CFG.offsets()["own"]]
    centre = own[OWN_FEATURES.index("centre_fwd"):OWN_FEATURES.index("centre_left") + 1]
    assert centre == pytest.approx([-0.5, 0.5], abs=1e-6)
    assert own[OWN_FEATURES.index("rim_gap")] == pytest.approx((67 - math.hypot(5, 5) - 1) / 10)


def test_rivals_and_mates_are_split_by_team_and_skip_the_dead():
    zibs = [
        zibber(0, 0, 0),            # observer, team 0
        zibber(3, 0, 0),            # mate
        zibber(-2, 0, math.pi),     # rival, nearest
        zibber(0, 6, 0, alive=0),   # dead rival: never seen
        zibber(0, -8, 0),           # rival, further
    ]
    obs = observe(zibs, [0, 0, 1, 1, 1])
    rivals = block(obs, "rivals", ZIBBER_FEATURES)[0]
    mates = block(obs, "mates", ZIBBER_FEATURES)[0]
    f = ZIBBER_FEATURES.index
    assert rivals[:, f("valid")].tolist() == [1, 1]
    assert rivals[:, f("fwd")] == pytest.approx([-0.2, 0])
    assert rivals[:, f("left")] == pytest.approx([0, -0.8])
    assert rivals[0, f("cos_heading")] == pytest.approx(-1)
    assert rivals[0, f("gap")] == pytest.approx(0)  # touching: 2 apart, radii 1 + 1
    assert mates[0, f("fwd")] == pytest.approx(0.3)
    # The dead zibber observes nothing.
    assert not obs[3].any()


def test_missing_neighbours_leave_zeroed_slots():
    obs = observe([zibber(0, 0, 1.0)], [0], points=[[4, 2, 2, 1]])
    assert not block(obs, "rivals", ZIBBER_FEATURES).any()
    assert not block(obs, "mates", ZIBBER_FEATURES).any()
    pts = block(obs, "points", POINT_FEATURES)[0]
    assert pts[:, 0].tolist() == [1, 0] and not pts[1].any()


def test_obstacles_measure_to_the_nearest_surface():
    segment = np.zeros(O.WIDTH)
    segment[[O.IS_CIRCLE, O.AX, O.AY, O.BX, O.BY, O.RADIUS, O.HAZARD]] = (0, 4, -5, 4, 5, 0.5, 1)
    disc = np.zeros(O.WIDTH)
    # bx, by of a disc are not an end point; they must not change its distance.
    disc[[O.IS_CIRCLE, O.AX, O.AY, O.BX, O.BY, O.RADIUS]] = (1, -10, 0, 50, 50, 3)
    obs = observe([zibber(0, 0, 0)], [0], obstacles=[disc, segment])
    ob = block(obs, "obstacles", OBSTACLE_FEATURES)[0]
    f = OBSTACLE_FEATURES.index
    assert ob[0, [f("fwd"), f("left"), f("gap"), f("hazard")]] == pytest.approx([0.4, 0, 0.25, 1])
    assert ob[1, [f("fwd"), f("gap"), f("hazard")]] == pytest.approx([-1.0, 0.6, 0])


def test_rubys_and_projectiles():
    ruby = [65534, 0, 3, 0, 0, 1.5, 0.5, 0]
    shot = [4, 2, 0, 0, 0.6, 0, 0.3]
    gone = [5, 1, 0, 0, 0, 1, 0.3]  # removed: ignored although nearer
    obs = observe([zibber(0, 0, 0)], [0], rubys=[ruby], projectiles=[gone, shot])
    r = block(obs, "rubys", RUBY_FEATURES)[0, 0]
    assert r == pytest.approx([1, 0, 0.3, 0.75, 1])
    p = block(obs, "projectiles", PROJECTILE_FEATURES)[0, 0]
    assert p == pytest.approx([1, 0.2, 0, 0, 0.6])


def test_no_zibbers_gives_an_empty_batch():
    obs = observe(np.zeros((0, Z.WIDTH)), np.zeros(0, dtype=int), points=[[4, 1, 1, 1]])
    assert obs.shape == (0, CFG.size)


def test_a_batch_matches_each_world_observed_alone():
    rng = np.random.default_rng(4)

    def world(n_zib, n_pts, n_obs, n_shots):
        zibs = np.array([zibber(*rng.uniform(-20, 20, 2), rng.uniform(0, 6)) for _ in range(n_zib)])
        zibs[0, Z.ALIVE] = 0
        obstacles = np.zeros((n_obs, O.WIDTH))
        obstacles[:, [O.AX, O.AY, O.BX, O.BY]] = rng.uniform(-20, 20, (n_obs, 4))
        obstacles[:, O.RADIUS] = 1.0
        obstacles[::2, O.IS_CIRCLE] = 1
        points = np.column_stack([np.arange(n_pts), rng.uniform(-20, 20, (n_pts, 2)), np.ones(n_pts)])
        shots = np.zeros((n_shots, 7))
        shots[:, 1:5] = rng.uniform(-20, 20, (n_shots, 4))
        rubys = np.array([[65534, 1, 2, 0, 0, 1.5, 1, 0]])
        return dict(zibbers=zibs, teams=np.arange(n_zib) % 2, map_size=50.0 + n_pts, tick=n_pts,
                    points=points, rubys=rubys, obstacles=obstacles, projectiles=shots)

    # Unequal counts, so that padding and the masks that hide it matter.
    worlds = [world(4, 90, 3, 1), world(3, 5, 0, 0), world(5, 0, 4, 2)]
    batch = build_batch(CFG, worlds)
    for w, got in zip(worlds, batch):
        alone = build_observations(CFG, w["zibbers"], w["teams"], w["map_size"], w["tick"],
                                   w["points"], w["rubys"], w["obstacles"], w["projectiles"])
        assert got.shape == alone.shape == (len(w["zibbers"]), CFG.size)
        assert np.allclose(got, alone)
