#!/usr/bin/env python3
"""The C++ observation builder against the numpy one, on recorded match states.

Plays matches through EnvBatch (random learner actions, some teams bots so
that shots fly), and after every step rebuilds every agent's observation
with zibber.observe.build_observations from the same World's exports.
Prints how many float32 values are bit-equal, and where they are not.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

import numpy as np  # noqa: E402

from zibber.env_core import EnvBatch  # noqa: E402
from zibber.observe import ObsConfig, build_observations  # noqa: E402

BIG = ObsConfig(rivals=8, mates=4, points=40, rubys=3, obstacles=10, projectiles=6, scale=7.0)
CASES = [
    ((2, 2), None, ObsConfig()),
    ((4, 4), None, BIG),
    ((3, 3, 3), ("learner", "charger", "random"), ObsConfig()),
    ((6, 6), (None, "charger"), BIG),
    ((1, 1), None, ObsConfig(points=80)),
]


def feature_names(cfg):
    names = []
    for name, slots, features in cfg.blocks():
        names += [f"{name}[{s}].{f}" for s in range(slots) for f in features]
    return names


def main(steps=int(sys.argv[1]) if len(sys.argv) > 1 else 600, envs=4):
    total = equal = 0
    worst_ulp = 0
    worst_abs = 0.0
    where = {}
    for sizes, teams, cfg in CASES:
        batch = EnvBatch(envs, sizes, teams=teams, obs_config=cfg, max_steps=steps, seed=len(where) + 7)
        agents = [i for i, t in enumerate(np.repeat(np.arange(len(sizes)), sizes))
                  if teams is None or teams[t] in (None, "learner")]
        names = feature_names(cfg)
        rng = np.random.default_rng(1)
        batch.reset()
        for step in range(steps + 1):
            for e in range(envs):
                w = batch.world(e)
                ref = build_observations(cfg, w.zibbers(), w.teams, w.map_size, w.tick, w.points(),
                                         w.rubys(), w.obstacles(), w.projectiles())[agents]
                got = batch.observations[e]
                total += got.size
                # +0.0 and -0.0 are one value: numpy zeroes empty slots by a product.
                same = (got == ref) & (np.isnan(got) == np.isnan(ref))
                equal += same.sum()
                for a, f in zip(*np.nonzero(~same)):
                    ulp = abs(int(got[a, f].view(np.int32)) - int(ref[a, f].view(np.int32)))
                    worst_ulp = max(worst_ulp, ulp)
                    worst_abs = max(worst_abs, abs(float(got[a, f]) - float(ref[a, f])))
                    key = names[f].split("[")[0] + "." + names[f].split(".")[-1]
                    n, u = where.get(key, (0, 0))
                    where[key] = (n + 1, max(u, ulp))
            shape = (envs, batch.num_agents)
            batch.step(rng.integers(0, 3, shape), rng.uniform(-np.pi, np.pi, shape))
        batch.close()
    print(f"{total} float32 values compared, {equal} equal ({total - equal} differ), "
          f"largest difference {worst_ulp} ulp, {worst_abs:.3g} absolute")
    for key, (n, u) in sorted(where.items()):
        print(f"  {key}: {n} values differ, at most {u} ulp")


if __name__ == "__main__":
    main()
