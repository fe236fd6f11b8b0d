#!/usr/bin/env python3
"""Simple bots against a random policy through ZibberEnv, with standings.

The bots see only what an agent sees: their own observation vector.

    /usr/bin/python3 python/examples/bots_vs_random.py --matches 3
"""

import argparse
import math
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from zibber import HOLD, TAP, WALK, ZibberEnv  # noqa: E402
from zibber.observe import (  # noqa: E402
    OBSTACLE_FEATURES, OWN_FEATURES, POINT_FEATURES, RUBY_FEATURES, ZIBBER_FEATURES,
)

OWN = {name: i for i, name in enumerate(OWN_FEATURES)}
ZIB = {name: i for i, name in enumerate(ZIBBER_FEATURES)}
PNT = {name: i for i, name in enumerate(POINT_FEATURES)}
RUB = {name: i for i, name in enumerate(RUBY_FEATURES)}
OBS = {name: i for i, name in enumerate(OBSTACLE_FEATURES)}


def steer(parts, angle):
    """Override a wanted angle when the rim or a hazard is too close."""
    own = parts["own"][0]
    if own[OWN["rim_gap"]] < 0.15:
        return math.atan2(own[OWN["centre_left"]], own[OWN["centre_fwd"]])
    for ob in parts["obstacles"]:
        if ob[OBS["valid"]] and ob[OBS["hazard"]] and ob[OBS["gap"]] < 0.1 and ob[OBS["fwd"]] > 0:
            # Veer away to the side it is not on.
            return -math.copysign(math.pi / 2, ob[OBS["left"]])
    return angle


def collector(parts):
    ruby = parts["rubys"][0]
    point = parts["points"][0]
    if ruby[RUB["valid"]] and ruby[RUB["ready"]] and math.hypot(ruby[1], ruby[2]) < 0.75:
        return WALK, steer(parts, math.atan2(ruby[RUB["left"]], ruby[RUB["fwd"]]))
    if point[PNT["valid"]]:
        return WALK, steer(parts, math.atan2(point[PNT["left"]], point[PNT["fwd"]]))
    own = parts["own"][0]
    return WALK, steer(parts, math.atan2(own[OWN["centre_left"]], own[OWN["centre_fwd"]]))


def hunter(parts):
    rival = parts["rivals"][0]
    if not rival[ZIB["valid"]] or rival[ZIB["gap"]] > 0.6:
        return collector(parts)
    # Aim a little behind the rival: rams from behind score.
    back_f = rival[ZIB["fwd"]] - 0.1 * rival[ZIB["cos_heading"]]
    back_l = rival[ZIB["left"]] - 0.1 * rival[ZIB["sin_heading"]]
    angle = math.atan2(back_l, back_f)
    kind = TAP if rival[ZIB["gap"]] < 0.25 and abs(angle) < 0.3 else WALK
    return kind, steer(parts, angle)


def charger(parts):
    rival = parts["rivals"][0]
    own = parts["own"][0]
    if not rival[ZIB["valid"]] or rival[ZIB["gap"]] > 1.0:
        return collector(parts)
    angle = math.atan2(rival[ZIB["left"]], rival[ZIB["fwd"]])
    # Release (any other action) once charged for 50 steps and lined up.
    if own[OWN["charging"]] and own[OWN["charge"]] >= 1.0 and abs(angle) < 0.2:
        return WALK, angle
    return HOLD, steer(parts, angle)


BOTS = {"collector": collector, "hunter": hunter, "charger": charger}


def play(sizes, policies, seed, max_steps):
    env = ZibberEnv(sizes=sizes, max_steps=max_steps, seed=seed)
    obs, infos = env.reset()
    cfg = env.obs_config
    for agent in env.possible_agents:
        env.action_space(agent).seed(seed)
    team_of = {a: infos[a]["team"] for a in env.possible_agents}
    died_at = {}
    while env.agents:
        actions = {}
        for agent in env.agents:
            policy = policies[team_of[agent]]
            if policy == "random":
                actions[agent] = env.action_space(agent).sample()
            else:
                actions[agent] = BOTS[policy](cfg.unpack(obs[agent]))
        obs, _, terms, _, _ = env.step(actions)
        for agent, dead in terms.items():
            if dead:
                died_at[agent] = env.world.tick
    scores = env.world.team_scores()
    tick = env.world.tick
    standings = []
    for t, policy in enumerate(policies):
        members = [a for a in env.possible_agents if team_of[a] == t]
        survivors = sum(a not in died_at for a in members)
        last = "-" if survivors else str(max(died_at[a] for a in members))
        standings.append((t, policy, int(scores[t]), survivors, last))
    env.close()
    return tick, standings


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--matches", type=int, default=3)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--size", type=int, default=2, help="zibbers per team")
    parser.add_argument("--policies", default="collector,hunter,charger,random",
                        help="one per team, from: " + ", ".join([*BOTS, "random"]))
    parser.add_argument("--max-steps", type=int, default=4000)
    args = parser.parse_args()
    policies = args.policies.split(",")
    unknown = set(policies) - set(BOTS) - {"random"}
    if unknown:
        parser.error(f"unknown policies: {', '.join(sorted(unknown))}")
    sizes = [args.size] * len(policies)

    wins = dict.fromkeys(policies, 0.0)
    totals = dict.fromkeys(policies, 0)
    for m in range(args.matches):
        seed = args.seed + m
        tick, standings = play(sizes, policies, seed, args.max_steps)
        print(f"match {m + 1} (seed {seed}): {tick} steps")
        print("  team  policy     score  survivors  last death")
        for t, policy, score, survivors, last in sorted(standings, key=lambda s: -s[2]):
            print(f"  {t:<4}  {policy:<9}  {score:>5}  {survivors:>9}  {last:>10}")
        best = max(s[2] for s in standings)
        winners = [s[1] for s in standings if s[2] == best]
        for policy in winners:
            wins[policy] += 1 / len(winners)
        for _, policy, score, _, _ in standings:
            totals[policy] += score
    print(f"\nafter {args.matches} matches")
    print("  policy     wins  mean score")
    for policy in sorted(policies, key=lambda p: -totals[p]):
        print(f"  {policy:<9}  {wins[policy]:>4.1f}  {totals[policy] / args.matches:>10.1f}")


if __name__ == "__main__":
    main()
