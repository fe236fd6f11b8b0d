"""What a tournament plays: its configuration, line-ups, seeds and kinds.

Everything here is a pure function of the configuration, so every process
that builds the schedule gets the same matches in the same order.
"""

import hashlib
import itertools
import json
from dataclasses import asdict, dataclass

from ..columns import MAX_ZIBBERS, Kind

FORMATS = ("round-robin", "gauntlet")
MASK = (1 << 64) - 1


class TournamentError(Exception):
    """Bad input or an unusable cluster: the message says what and where."""


@dataclass(frozen=True)
class TournamentConfig:
    """Everything that decides which matches are played and how they end.

    entrants: bot names or Python policies (see entrants.py); format:
    "round-robin" (every set of ``teams`` entrants) or "gauntlet" (the first
    entrant against every set of the others); seeds: matches per line-up;
    kinds: as ``zibber play --kinds`` (mixed, random, one kind, or a list
    repeated over each team).
    """

    entrants: tuple
    seeds: int = 10
    format: str = "round-robin"
    teams: int = 2
    team_size: int = 4
    kinds: str = "mixed"
    seed: int = 1
    max_steps: int = 20000

    def __post_init__(self):
        object.__setattr__(self, "entrants", tuple(self.entrants))
        if self.format not in FORMATS:
            raise TournamentError(f"format {self.format!r} is none of {', '.join(FORMATS)}")
        if len(set(self.entrants)) != len(self.entrants):
            raise TournamentError(f"an entrant is named twice in {', '.join(self.entrants)}")
        if self.teams < 2:
            raise TournamentError("a match needs at least 2 teams")
        if len(self.entrants) < self.teams:
            raise TournamentError(f"{len(self.entrants)} entrants cannot fill {self.teams} teams")
        if self.seeds < 1 or self.team_size < 1 or self.max_steps < 1:
            raise TournamentError("seeds, team size and max steps must be at least 1")
        if self.teams * self.team_size > MAX_ZIBBERS:
            raise TournamentError(f"{self.teams} teams of {self.team_size} exceed {MAX_ZIBBERS} zibbers")
        if not 0 <= self.seed <= MASK:
            raise TournamentError("the seed must fit in 64 bits")
        zibber_kinds(self.kinds, self.team_size)


@dataclass(frozen=True)
class MatchSpec:
    index: int
    seed: int
    lineup: tuple  # one entrant per team, in team order


def splitmix64(x):
    z = (x + 0x9E3779B97F4A7C15) & MASK
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
    return z ^ (z >> 31)


def match_seed(base, k):
    """Seed k of a tournament; every line-up plays the same K seeds, so they compare on equal maps."""
    return splitmix64((base + k * 0x9E3779B97F4A7C15) & MASK)


def zibber_kinds(text, team_size):
    """One team's kinds as `zibber play --kinds TEXT` sets them, or None for the library's draw."""
    if text == "random":
        return None
    if text == "mixed":
        return [k % Kind.COUNT for k in range(team_size)]
    parts = text.split(",")
    if not all(p.isdigit() and int(p) < Kind.COUNT for p in parts):
        raise TournamentError(f"kinds {text!r} is not mixed, random, or kinds 0 to {Kind.COUNT - 1} "
                              "separated by commas")
    return [int(parts[k % len(parts)]) for k in range(team_size)]


def lineups(config):
    """The line-ups in schedule order, each as a tuple of entrants before rotation."""
    names = config.entrants
    if config.format == "round-robin":
        return list(itertools.combinations(names, config.teams))
    return [(names[0],) + rest for rest in itertools.combinations(names[1:], config.teams - 1)]


def schedule(config):
    """Every match: line-up L, seed k is match L * seeds + k. Seats rotate with k, so no
    entrant always starts from team 0's spawn."""
    matches = []
    for li, lineup in enumerate(lineups(config)):
        for k in range(config.seeds):
            turn = k % len(lineup)
            matches.append(MatchSpec(li * config.seeds + k, match_seed(config.seed, k),
                                     lineup[turn:] + lineup[:turn]))
    return matches


def digest(config, fingerprints):
    """A short name of the configuration and the entrants' contents, stored in every row."""
    text = json.dumps({"config": asdict(config), "entrants": fingerprints}, sort_keys=True)
    return hashlib.sha256(text.encode()).hexdigest()[:16]
