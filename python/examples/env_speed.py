#!/usr/bin/env python3
"""Steps per second of bare Worlds, ZibberEnv and ZibberVecEnv, on 1 and 2 threads.

All figures come from one run, side by side, so compare them as ratios; the
absolute numbers depend on the machine and on what else it is doing. An env
step advances one match by one step with every agent acting.

    /usr/bin/python3 python/examples/env_speed.py
"""

import argparse
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

import numpy as np  # noqa: E402

from zibber import World, ZibberEnv, ZibberVecEnv, measure_scaling  # noqa: E402

# The first steps of a match scatter the arena's points and cost several
# times a later step; measure after them.
WARMUP = 60


class EnvRunner:
    """A ZibberEnv with pre-drawn random actions, restarted whenever its match ends."""

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
        self.step(WARMUP)

    def step(self, n=1):
        for _ in range(n):
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
        w.step(WARMUP)
        worlds.append(w)
    return worlds


def timed(run, steps):
    """(steps per second, cores used) of run(); cores used is CPU over wall time."""
    start, cpu_start = time.perf_counter(), time.process_time()
    run()
    seconds = time.perf_counter() - start
    return steps / seconds, (time.process_time() - cpu_start) / seconds


def vec_env_rate(sizes, num_envs, steps, threads):
    """Env steps per second of a ZibberVecEnv with random actions, and cores used."""
    env = ZibberVecEnv(num_envs, sizes=sizes, threads=threads, seed=1)
    env.reset()
    rng = np.random.default_rng(0)
    shape = (num_envs, env.num_agents)
    actions = [(rng.integers(0, 3, shape), rng.uniform(-np.pi, np.pi, shape)) for _ in range(97)]
    for i in range(WARMUP):
        env.step(*actions[i % 97])

    def run():
        for i in range(steps):
            env.step(*actions[i % 97])

    result = timed(run, steps * num_envs)
    env.close()
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", default="2,2", help="zibbers per team, comma separated")
    parser.add_argument("--steps", type=int, default=300, help="steps per world or env")
    parser.add_argument("--items", type=int, default=16, help="worlds or envs in a batch")
    parser.add_argument("--threads", default="1,2")
    parser.add_argument("--repeats", type=int, default=3)
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    threads = [int(t) for t in args.threads.split(",")]

    # Best of a few repeats: other work on the machine only ever slows a run down.
    def best(measure):
        return max(measure() for _ in range(args.repeats))

    def env_rate():
        runner = EnvRunner(sizes, seed=1)
        result = timed(lambda: runner.step(args.steps), args.steps)
        runner.close()
        return result

    def batch_rate(make, t):
        r = measure_scaling(make, args.steps, (t,))[0]
        return r.steps_per_second, r.cores_used

    worlds = lambda: make_worlds(sizes, args.items)  # noqa: E731
    envs = lambda: [EnvRunner(sizes, s) for s in range(1, args.items + 1)]  # noqa: E731
    rows = [("ZibberEnv, one env, plain loop", 1, best(env_rate))]
    for t in threads:
        rows.append(("World.step, run_batch", t, best(lambda: batch_rate(worlds, t))))
    for t in threads:
        rows.append(("ZibberEnv, run_batch", t, best(lambda: batch_rate(envs, t))))
    for t in threads:
        rows.append((f"ZibberVecEnv({args.items})", t,
                     best(lambda: vec_env_rate(sizes, args.items, args.steps, t))))

    base = rows[0][2][0]
    print(f"teams {sizes}, batches of {args.items}, {args.steps} steps each after "
          f"{WARMUP} warm-up, best of {args.repeats}")
    # Cores used near 1.0 with 2 threads means the second core was busy with
    # something else (or the GIL kept the threads apart).
    print(f"{'':32} {'threads':>7} {'steps/s':>10} {'vs one env':>10} {'cores used':>10}")
    for label, t, (rate, cores) in rows:
        print(f"{label:<32} {t:>7} {rate:>10.0f} {rate / base:>9.2f}x {cores:>10.2f}")


if __name__ == "__main__":
    main()
