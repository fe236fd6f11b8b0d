#!/usr/bin/env python3
"""Env steps per second of ZibberVecEnv, of env_step called straight through
ctypes, and of bare Worlds stepped through ctypes with no actions.

Each variant runs in turn, a round at a time, and the best round of each
counts: the machine's other work only ever slows a round down, and
interleaving gives every variant the same share of it. An env step advances
one match by one step with every agent acting; agent-steps count agents.
The bare Worlds take no actions, so their matches differ from the envs';
bench/env_bench.cpp compares env_step with a bare host that plays the
very same matches.

    /usr/bin/python3 python/examples/env_speed.py
"""

import argparse
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

import numpy as np  # noqa: E402

from zibber import World, ZibberVecEnv  # noqa: E402

# The first steps of a match scatter the arena's points and cost several
# times a later step; measure after them.
WARMUP = 60


class Bare:
    """Worlds stepped by zb_step alone through ctypes, restarted when over."""

    def __init__(self, sizes, count):
        self.sizes, self.worlds = sizes, []
        for seed in range(1, count + 1):
            self.worlds.append(self._fresh(seed))
        self.handles = [w._raw for w in self.worlds]
        self.next_seed = count + 1
        self.run(WARMUP)

    def _fresh(self, seed):
        w = World(seed)
        w.setup(self.sizes)
        return w

    def run(self, steps):
        lib = self.worlds[0]._lib
        step, over = lib.zb_step, lib.zb_is_over
        for n in range(steps):
            for h in self.handles:
                step(h)
            if n % 10 == 9:  # a few calls more would weigh on the bare figure
                self._restart_ended(over)
        self._restart_ended(over)

    def _restart_ended(self, over):
        for i, h in enumerate(self.handles):
            if over(h):
                self.worlds[i].close()
                self.worlds[i] = self._fresh(self.next_seed)
                self.handles[i] = self.worlds[i]._raw
                self.next_seed += 1

    def close(self):
        for w in self.worlds:
            w.close()


class Vec:
    """A ZibberVecEnv with pre-drawn random actions (raw: env_step called
    directly through ctypes, without the Python layer's checks)."""

    def __init__(self, sizes, count, threads, raw=False):
        self.env = ZibberVecEnv(count, sizes=sizes, threads=threads, seed=1)
        self.env.reset()
        rng = np.random.default_rng(0)
        shape = (count, self.env.num_agents)
        self.actions = [(rng.integers(0, 3, shape, dtype=np.int32), rng.uniform(-np.pi, np.pi, shape))
                        for _ in range(97)]
        self.n = 0
        self.raw = raw
        self.run(WARMUP)

    def run(self, steps):
        if self.raw:
            b = self.env.batch
            step, h = b._lib.env_step, b._raw
            for _ in range(steps):
                kinds, angles = self.actions[self.n % 97]
                step(h, kinds.ctypes.data, angles.ctypes.data)
                self.n += 1
            return
        for _ in range(steps):
            self.env.step(*self.actions[self.n % 97])
            self.n += 1

    def close(self):
        self.env.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", default="2,2;4,4", help="line-ups, teams comma separated, ';' between")
    parser.add_argument("--envs", default="1,64", help="matches per batch")
    parser.add_argument("--threads", default="1,2")
    parser.add_argument("--agent-steps", type=int, default=40000, help="agent-steps per round")
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    lineups = [tuple(int(s) for s in part.split(",")) for part in args.sizes.split(";")]
    counts = [int(n) for n in args.envs.split(",")]
    threads = [int(t) for t in args.threads.split(",")]

    print(f"best of {args.rounds} interleaved rounds of about {args.agent_steps} agent-steps, "
          f"after {WARMUP} warm-up steps")
    print(f"{'teams':>7} {'matches':>7} {'runner':<18} {'env steps/s':>12} {'agent-steps/s':>14} "
          f"{'vs env_step':>11}")
    for sizes in lineups:
        for count in counts:
            agents = sum(sizes)
            steps = max(1, args.agent_steps // (agents * count))
            runners = {"env_step (ctypes)": Vec(sizes, count, 1, raw=True),
                       "bare, no actions": Bare(sizes, count)}
            for t in threads:
                if t <= count:
                    runners[f"ZibberVecEnv, {t} thr"] = Vec(sizes, count, t)
            best = dict.fromkeys(runners, float("inf"))
            for _ in range(args.rounds):
                for name, runner in runners.items():
                    start = time.perf_counter()
                    runner.run(steps)
                    best[name] = min(best[name], time.perf_counter() - start)
            base = steps * count / best["env_step (ctypes)"]
            for name, seconds in best.items():
                rate = steps * count / seconds
                print(f"{'x'.join(map(str, sizes)):>7} {count:>7} {name:<18} {rate:>12.0f} "
                      f"{rate * agents:>14.0f} {rate / base:>7.2f}x")
            for runner in runners.values():
                runner.close()


if __name__ == "__main__":
    main()
