"""python -m zibber.tournament: run a tournament, print its ratings, plot them."""

import argparse
import csv
import sys
from pathlib import Path

from . import rating
from .entrants import BOTS
from .runner import play_command, replay_row, run_tournament
from .schedule import FORMATS, TournamentConfig, TournamentError


def parse(argv):
    p = argparse.ArgumentParser(
        prog="python -m zibber.tournament",
        description="Play a tournament of built-in bots and Python policies, locally or on a Dask cluster.")
    p.add_argument("--entrants", help=f"comma-separated: {', '.join(BOTS)}, or MODULE:NAME[=ARG] policies")
    p.add_argument("--seeds", type=int, default=10, help="matches per line-up (default 10)")
    p.add_argument("--out", help="results table (CSV); an existing one of this tournament is resumed")
    p.add_argument("--format", choices=FORMATS, default="round-robin",
                   help="every line-up of --teams entrants, or the first entrant against the rest")
    p.add_argument("--teams", type=int, default=2, help="teams per match (default 2)")
    p.add_argument("--team-size", type=int, default=4, help="zibbers per team (default 4)")
    p.add_argument("--kinds", default="mixed", help="as zibber play --kinds: mixed, random, 0..3 or a list")
    p.add_argument("--seed", type=lambda s: int(s, 0), default=1, help="tournament seed (default 1)")
    p.add_argument("--max-steps", type=int, default=20000, help="as zibber play (default 20000)")
    p.add_argument("--workers", type=int, help="LocalCluster worker processes (default: one per core; "
                                               "0: a plain loop in this process)")
    p.add_argument("--scheduler", help="address of a running Dask scheduler, e.g. tcp://HOST:8786")
    p.add_argument("--connect-timeout", type=float, default=10.0, help="seconds to reach the scheduler")
    p.add_argument("--plot", help="ratings and win-rate PNG (default: --out with .png)")
    p.add_argument("--bootstrap", type=int, default=200, help="bootstrap samples for the intervals")
    p.add_argument("--no-progress", action="store_true", help="no progress bar")
    p.add_argument("--verify", metavar="FILE", help="play rows of FILE again here and compare them")
    p.add_argument("--matches", help="with --verify: comma-separated match numbers (default: all)")
    args = p.parse_args(argv)
    if not args.verify and not (args.entrants and args.out):
        p.error("--entrants and --out are required (or --verify FILE)")
    return args


def verify(path, which):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    if which:
        wanted = {int(m) for m in which.split(",")}
        rows = [r for r in rows if int(r["match"]) in wanted]
    bad = 0
    for row in rows:
        fresh = {k: str(v) for k, v in replay_row(row).items()}
        differ = [k for k in row if fresh.get(k) != row[k]]
        bad += bool(differ)
        status = "agrees" if not differ else "DIFFERS in " + ", ".join(differ)
        print(f"match {row['match']}: final tick {fresh['ticks']} hash {fresh['hash']} {status}")
        if command := play_command(row):
            print(f"  {command}")
    print(f"{len(rows) - bad} passed, {bad} failed")
    return 1 if bad else 0


def main(argv=None):
    args = parse(argv)
    try:
        if args.verify:
            return verify(args.verify, args.matches)
        config = TournamentConfig(
            entrants=tuple(e.strip() for e in args.entrants.split(",") if e.strip()), seeds=args.seeds,
            format=args.format, teams=args.teams, team_size=args.team_size, kinds=args.kinds,
            seed=args.seed, max_steps=args.max_steps)
        outcome = run_tournament(config, args.out, workers=args.workers, scheduler=args.scheduler,
                                 progress=not args.no_progress, connect_timeout=args.connect_timeout)
    except TournamentError as err:
        print(f"zibber.tournament: {err}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print(f"\ninterrupted: finished matches are kept in {args.out}; run the same command to resume",
              file=sys.stderr)
        return 130
    for line in outcome.forfeits:
        print(f"forfeit: {line}", file=sys.stderr)
    rows, entrants = outcome.rows, config.entrants
    table = rating.ratings(rows, entrants, config.teams, bootstrap=args.bootstrap,
                           seed=int(outcome.config_digest, 16))
    rates = rating.win_rates(rows, entrants, config.teams)
    print(f"{len(rows)} matches ({outcome.played} played now), config {outcome.config_digest}, "
          f"results in {args.out}")
    print(table.to_string(index=False, float_format=lambda v: f"{v:.1f}"))
    print("\nrow placed ahead of column:")
    print(rates.rename(index=rating.short, columns=rating.short).to_string(float_format=lambda v: f"{v:.2f}"))
    plot = args.plot or str(Path(args.out).with_suffix(".png"))
    rating.plot(table, rates, plot, f"{len(rows)} matches, {config.teams} teams of {config.team_size}, "
                                    f"{config.format}, seed {config.seed}")
    print(f"plot: {plot}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
