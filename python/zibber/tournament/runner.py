"""Running a tournament: in this process, on a LocalCluster, or on a running Dask cluster.

Each match is one Dask task named after the configuration and the match, a
pure function of its row's fields. When a worker dies the scheduler hands
its tasks to another, which computes the same rows; the client writes each
row once, in the order they finish, and sorts the file at the end.
"""

import logging
import os
import sys
from dataclasses import dataclass, field

from . import results
from .entrants import BOTS, fingerprint, resolve
from .match import play_match
from .schedule import MatchSpec, TournamentError, digest, schedule, zibber_kinds


@dataclass
class Outcome:
    config_digest: str
    rows: list  # every match's row, in match order
    played: int  # matches played by this run (the rest came from the results file)
    forfeits: list = field(default_factory=list)  # "match N: team T (entrant) forfeit ..." lines


def resolve_all(entrants):
    return {spec: policy for spec in entrants if (policy := resolve(spec)) is not None}


def default_workers():
    return len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count() or 1


def run_tournament(config, out, workers=None, scheduler=None, progress=True, on_result=None,
                   connect_timeout=10.0):
    """Plays what `out` does not hold yet and returns every row.

    workers: worker processes of an embedded LocalCluster (None: one per
    core; 0: a plain loop in this process, without Dask). scheduler: the
    address of a running scheduler, used instead. on_result(row) is called
    on the client as each match is recorded.
    """
    policies = resolve_all(config.entrants)
    fingerprints = [fingerprint(spec, policies.get(spec)) for spec in config.entrants]
    name = digest(config, fingerprints)
    matches = schedule(config)
    names = results.columns(config.teams)
    done = results.read_done(out, names, name, matches)
    todo = [m for m in matches if m.index not in done]
    kinds = zibber_kinds(config.kinds, config.team_size)
    fixed = {"config": name, "team_size": config.team_size, "kinds": config.kinds,
             "max_steps": config.max_steps}

    def task(spec):
        subset = {e: policies[e] for e in spec.lineup if e in policies}
        return play_match, spec, subset, config.team_size, kinds, config.max_steps

    appender = results.Appender(out, names)
    bar = _progress(len(matches), len(done), progress)
    try:
        def record(row):
            if row["match"] in done:
                return
            row.update(fixed)
            appender.add(row)
            done[row["match"]] = row
            bar.update(1)
            if on_result:
                on_result(row)

        if todo and workers == 0 and scheduler is None:
            for spec in todo:
                fn, *args = task(spec)
                record(fn(*args))
        elif todo:
            _run_on_cluster(todo, task, record, name, workers, scheduler, connect_timeout)
    finally:
        bar.close()
        appender.close()
    results.write_sorted(out, names, done)
    rows = [dict(done[i]) for i in sorted(done)]
    forfeits = [f"match {r['match']}: team {t} ({r[f'team{t}']}) {r[f'forfeit{t}']}"
                for r in rows for t in range(config.teams) if r[f"forfeit{t}"]]
    return Outcome(name, rows, len(todo), forfeits)


def _progress(total, initial, enabled):
    from tqdm import tqdm
    return tqdm(total=total, initial=initial, unit="match", desc="matches", disable=not enabled,
                file=sys.stderr, smoothing=0.1)


def _connect(workers, scheduler, connect_timeout):
    """A Client (and the LocalCluster it owns, or None)."""
    from distributed import Client, LocalCluster

    if scheduler is None:
        cluster = LocalCluster(n_workers=workers or default_workers(), threads_per_worker=1,
                               processes=True, silence_logs=logging.ERROR,
                               # Only its status page: a free port, not the fixed 8787 others may hold.
                               dashboard_address="127.0.0.1:0")
        return Client(cluster), cluster
    try:
        client = Client(scheduler, timeout=connect_timeout)
    except (OSError, TimeoutError) as err:
        raise TournamentError(f"cannot reach the Dask scheduler at {scheduler} within "
                              f"{connect_timeout:g} s: {err}") from None
    try:
        client.wait_for_workers(1, timeout=connect_timeout)
    except (OSError, TimeoutError):
        client.close()
        raise TournamentError(f"the Dask scheduler at {scheduler} has no workers after "
                              f"{connect_timeout:g} s: start some with `dask-worker {scheduler}`") from None
    return client, None


def _run_on_cluster(todo, task, record, name, workers, scheduler, connect_timeout):
    from distributed import as_completed

    client, cluster = _connect(workers, scheduler, connect_timeout)
    futures = []
    try:
        for spec in todo:
            fn, *args = task(spec)
            # The key names the match, so a rerun after a worker's death is the same task.
            futures.append(client.submit(fn, *args, key=f"zibber-match-{name}-{spec.index}"))
        for future in as_completed(futures):
            try:
                row = future.result()
            except Exception as err:
                raise TournamentError(f"{future.key} failed on the cluster: {type(err).__name__}: {err} "
                                      "(do the workers import this zibber package and find its "
                                      "libraries?)") from None
            record(row)
    finally:
        client.cancel(futures)
        client.close()
        if cluster is not None:
            cluster.close()


def play_command(row):
    """The `zibber play` line that ends in the row's hash, for a bots-only row (else None)."""
    teams = [row[f"team{t}"] for t in range(len(row)) if f"team{t}" in row]
    if not all(t in BOTS for t in teams):
        return None
    return (f"zibber play --seed {row['seed']} --teams {len(teams)}x{row['team_size']} "
            f"--kinds {row['kinds']} --bots {','.join(teams)} --max-steps {row['max_steps']} --quiet")


def replay_row(row):
    """Plays a row's match again in this process, from its fields alone; returns the new row."""
    teams = tuple(row[f"team{t}"] for t in range(len(row)) if f"team{t}" in row)
    spec = MatchSpec(int(row["match"]), int(row["seed"], 16), teams)
    policies = resolve_all(teams)
    team_size = int(row["team_size"])
    fresh = play_match(spec, policies, team_size, zibber_kinds(row["kinds"], team_size),
                       int(row["max_steps"]))
    fresh.update({k: row[k] for k in ("config", "team_size", "kinds", "max_steps")})
    return fresh
