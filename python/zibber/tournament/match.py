"""One match, played wherever a worker runs it: a pure function of its row's fields."""

import numpy as np

from ..env_core import EnvBatch
from .entrants import KEEP, Forfeit, team_actions
from .schedule import splitmix64


def placings(scores, forfeited):
    """1 for the best score, equal scores share a place; teams that forfeited come last."""
    places = []
    for t, score in enumerate(scores):
        if forfeited[t]:
            places.append(len(scores))
        else:
            places.append(1 + sum(1 for u, s in enumerate(scores) if not forfeited[u] and s > score))
    return places


def play_match(spec, policies, team_size, kinds, max_steps):
    """Plays `spec` (a MatchSpec) and returns what it determined.

    policies maps the line-up's policy entrants to their callables; the other
    entrants are bots stepped inside libzibber_env. Policy teams are the
    env's learning teams, and the bots play on once they are done
    (play_out), so a match always ends as a bots-only one would: no zibber
    left, or max_steps.
    """
    lineup = spec.lineup
    sizes = (team_size,) * len(lineup)
    teams = [None if e in policies else e for e in lineup]
    batch = EnvBatch(1, sizes, kinds=None if kinds is None else kinds * len(lineup), teams=teams,
                     max_steps=max_steps, auto_restart=False, play_out=True)
    try:
        # The agents are the learning teams' zibbers in index order.
        seats = []
        for t, entrant in enumerate(lineup):
            if entrant in policies:
                seats.append((t, policies[entrant], slice(len(seats) * team_size, (len(seats) + 1) * team_size)))
        reasons = [""] * len(lineup)
        for t, policy, _ in seats:
            if hasattr(policy, "reset"):
                try:
                    policy.reset(splitmix64(spec.seed ^ t))
                except Exception as err:
                    reasons[t] = f"reset raised {type(err).__name__}: {err}"
        batch.reset(np.array([spec.seed], dtype=np.uint64))
        kinds_now = np.full((1, batch.num_agents), KEEP, dtype=np.int32)
        angles_now = np.zeros((1, batch.num_agents))
        while True:
            for t, policy, agents in seats:
                if reasons[t]:
                    kinds_now[0, agents] = KEEP
                    continue
                observations = batch.observations[0, agents]
                observations.flags.writeable = False
                try:
                    kinds_now[0, agents], angles_now[0, agents] = team_actions(policy, observations)
                except Forfeit as err:
                    reasons[t] = f"forfeit at tick {batch.world(0).tick}: {err}"[:300]
                    kinds_now[0, agents] = KEEP
            batch.step(kinds_now, angles_now if seats else None)
            if batch.ended[0]:
                break
        episode = batch.episodes[0]
        scores = [int(s) for s in batch.team_scores[0]]
    finally:
        batch.close()
    places = placings(scores, [bool(r) for r in reasons])
    row = {"match": spec.index, "seed": f"0x{spec.seed:016x}", "ticks": int(episode["ticks"]),
           "over": int(episode["over"]), "hash": f"0x{int(episode['hash']):016x}"}
    for t, entrant in enumerate(lineup):
        row.update({f"team{t}": entrant, f"score{t}": scores[t], f"place{t}": places[t],
                    f"forfeit{t}": " ".join(reasons[t].split())})
    return row
