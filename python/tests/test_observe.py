"""The observation layout, and the library's vectors against the exports they come from."""

import numpy as np

from zibber import ZibberVecEnv
from zibber.columns import Point as P
from zibber.columns import Zibber as Z
from zibber.observe import OWN_FEATURES, POINT_FEATURES, ZIBBER_FEATURES, ObsConfig

CFG = ObsConfig(rivals=2, mates=1, points=5, rubys=1, obstacles=2, projectiles=1, scale=10.0)


def test_layout_is_contiguous_and_the_library_agrees(lib):
    offsets = CFG.offsets()
    starts = [s.start for s in offsets.values()]
    ends = [s.stop for s in offsets.values()]
    assert starts[0] == 0 and starts[1:] == ends[:-1] and ends[-1] == CFG.size
    env = ZibberVecEnv(1, sizes=(2, 1), obs_config=CFG, seed=1)
    obs = env.reset()
    assert obs.shape == (1, 3, CFG.size) and obs.dtype == np.float32
    parts = CFG.unpack(obs[0, 0])
    assert parts["rivals"].shape == (2, len(ZIBBER_FEATURES))
    assert parts["mates"][0, 0] == 1 and parts["rivals"][0, 0] == 1 and parts["rivals"][1, 0] == 0
    env.close()


def test_vectors_follow_the_exports_of_a_real_match(lib):
    env = ZibberVecEnv(2, sizes=(3, 3), obs_config=CFG, seed=4)
    env.reset()
    rng = np.random.default_rng(0)
    for _ in range(80):
        obs = env.step(rng.integers(0, 3, (2, 6)), rng.uniform(-3, 3, (2, 6)))[0]
    for e in range(2):
        w = env.world(e)
        z, pts = w.zibbers(), w.points()
        for i in np.flatnonzero(z[:, Z.ALIVE] == 1):
            x, y, h = z[i, Z.X], z[i, Z.Y], z[i, Z.HEADING]
            c, s = np.cos(h), np.sin(h)
            own = CFG.unpack(obs[e, i])["own"][0]
            f = OWN_FEATURES.index
            assert np.isclose(own[f("rim_gap")], (w.map_size - np.hypot(x, y) - z[i, Z.RADIUS]) / 10)
            assert np.isclose(own[f("centre_fwd")], (-c * x - s * y) / 10)
            assert own[f("tick")] == np.float32(w.tick / 1000)
            # Nearest points by squared distance, ties to the lower index.
            dx, dy = pts[:, P.X] - x, pts[:, P.Y] - y
            near = np.lexsort((np.arange(len(pts)), dx * dx + dy * dy))[:CFG.points]
            want = np.column_stack([np.ones(len(near)), (c * dx + s * dy)[near] / 10,
                                    (c * dy - s * dx)[near] / 10])
            got = CFG.unpack(obs[e, i])["points"]
            assert got.shape == (CFG.points, len(POINT_FEATURES))
            assert np.allclose(got, want, atol=1e-6)
    env.close()
