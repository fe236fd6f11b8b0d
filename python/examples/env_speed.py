#!/usr/bin/env python3
"""Steps per second: bare Worlds and ZibberEnv, on one thread and with run_batch.

All figures come from one run, side by side, so compare them as ratios; the
absolute numbers depend on the machine and on what else it is doing.

    /usr/bin/python3 python/examples/env_speed.py
"""

import argparse
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

import numpy as np  # noqa: E402

from zibber import World, ZibberEnv, measure_scaling  # noqa: E402


class EnvRunner:
    """An env with pre-drawn random actions, restarted whenever its match ends."""

    def __init__(self, sizes, seed):
        self.env = ZibberEnv(sizes=sizes, seed=seed)
        rng = np.random.default_rng(seed)
        self.actions = [
            {a: (int(rng.integers(0, 3)), float(rng.uniform(-np.pi, np.pi)))
             for a in self.env.possible_agents}
            for _ in range(97)
        ]
        self.n = 0
        self.env.reset()

    def step(self):
        if not self.env.agents:
            self.env.reset()
        pool = self.actions[self.n % len(self.actions)]
        self.env.step({a: pool[a] for a in self.env.agents})
        self.n += 1

    def close(self):
        self.env.close()


def make_worlds(sizes, count):
    worlds = []
    for seed in range(1, count + 1):
        w = World(seed)
        w.setup(sizes)
        worlds.append(w)
    return worlds


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", default="2,2", help="zibbers per team, comma separated")
    parser.add_argument("--steps", type=int, default=1000, help="steps per world or env")
    parser.add_argument("--items", type=int, default=8, help="worlds or envs in a batch")
    parser.add_argument("--threads", default="1,2")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    threads = [int(t) for t in args.threads.split(",")]

    # One env stepped directly, the way a training loop would.
    runner = EnvRunner(sizes, seed=1)
    start = time.perf_counter()
    for _ in range(args.steps):
        runner.step()
    env_single = args.steps / (time.perf_counter() - start)
    runner.close()

    # Bare worlds: the library alone. A finished match keeps stepping; fresh
    # worlds per thread count keep the work identical.
    world_runs = measure_scaling(lambda: make_worlds(sizes, args.items), args.steps, threads)
    env_runs = measure_scaling(
        lambda: [EnvRunner(sizes, seed) for seed in range(1, args.items + 1)],
        args.steps, threads)

    print(f"teams {sizes}, {args.items} items x {args.steps} steps per batch")
    print(f"ZibberEnv, one env, direct loop: {env_single:10.0f} env steps/s")
    for label, runs in (("World.step", world_runs), ("ZibberEnv", env_runs)):
        base = runs[0].steps_per_second
        for r in runs:
            print(f"{label:<10} run_batch, {r.threads} thread(s): {r.steps_per_second:10.0f} "
                  f"steps/s  x{r.steps_per_second / base:.2f}")


if __name__ == "__main__":
    main()
