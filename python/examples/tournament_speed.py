#!/usr/bin/env python3
"""Tournament matches per second: a plain loop in one process against Dask with 1 and 2 workers.

The clusters are started once, before the timing; every round then plays
the same tournament once in each mode, in turn, so that a noisy machine
weighs on all of them alike. Each mode also plays the same schedule cut to
one step per match, which leaves only what a match costs besides the
simulation: the cluster's overhead per match is that time's difference
from the loop's.

    /usr/bin/python3 python/examples/tournament_speed.py --rounds 5
"""

import argparse
import logging
import statistics
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from zibber.tournament import TournamentConfig, run_tournament  # noqa: E402


def timed(config, scheduler, folder, n):
    out = Path(folder) / f"run{n}.csv"
    start = time.perf_counter()
    outcome = run_tournament(config, out, workers=0 if scheduler is None else None, scheduler=scheduler,
                             progress=False)
    seconds = time.perf_counter() - start
    out.unlink()
    return seconds, outcome.rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seeds", type=int, default=6, help="seeds per line-up (6 seeds x 6 line-ups)")
    parser.add_argument("--team-size", type=int, default=4)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    from distributed import LocalCluster

    full = TournamentConfig(entrants=("collector", "hunter", "charger", "random"), seeds=args.seeds,
                            team_size=args.team_size)
    short = TournamentConfig(entrants=full.entrants, seeds=args.seeds, team_size=args.team_size, max_steps=1)
    clusters = {w: LocalCluster(n_workers=w, threads_per_worker=1, dashboard_address="127.0.0.1:0",
                                silence_logs=logging.ERROR) for w in (1, 2)}
    modes = {"loop": None, "1 worker": clusters[1].scheduler_address, "2 workers": clusters[2].scheduler_address}
    times = {(m, c): [] for m in modes for c in ("full", "short")}
    reference = {}
    with tempfile.TemporaryDirectory() as folder:
        n = 0
        for r in range(args.rounds):
            order = list(modes)[r % 3:] + list(modes)[: r % 3]
            for mode in order:
                for case, config in (("full", full), ("short", short)):
                    seconds, rows = timed(config, modes[mode], folder, n)
                    n += 1
                    times[(mode, case)].append(seconds)
                    # Every mode must have played the very same matches.
                    assert reference.setdefault(case, rows) == rows, f"{mode} played other matches"
    for c in clusters.values():
        c.close()
    matches = len(reference["full"])
    ticks = sum(int(r["ticks"]) for r in reference["full"])
    print(f"{matches} matches of {full.teams} teams of {full.team_size}, {ticks} steps in all; "
          f"{args.rounds} interleaved rounds, best (median) of each")
    loop_short = min(times[("loop", "short")])
    for mode in modes:
        best, median = min(times[(mode, "full")]), statistics.median(times[(mode, "full")])
        extra = (min(times[(mode, "short")]) - loop_short) / matches * 1e3
        print(f"{mode:>9}: {matches / best:6.2f} ({matches / median:6.2f}) matches/s, "
              f"{best / min(times[('loop', 'full')]):.2f} x the loop's time; one-step matches: "
              f"{min(times[(mode, 'short')]) / matches * 1e3:6.2f} ms each, {extra:+.2f} ms over the loop")


if __name__ == "__main__":
    main()
