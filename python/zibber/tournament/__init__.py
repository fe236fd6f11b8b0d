"""Tournaments of bots and Python policies, spread over processes or machines with Dask.

    python -m zibber.tournament --entrants collector,hunter,charger,random --seeds 20 --out results.csv

See ``python -m zibber.tournament --help`` and the README's section on tournaments.
"""

from .entrants import BOTS, Forfeit
from .rating import ratings, win_rates
from .runner import Outcome, play_command, replay_row, run_tournament
from .schedule import TournamentConfig, TournamentError, schedule

__all__ = ["BOTS", "Forfeit", "Outcome", "TournamentConfig", "TournamentError", "play_command", "ratings",
           "replay_row", "run_tournament", "schedule", "win_rates"]
