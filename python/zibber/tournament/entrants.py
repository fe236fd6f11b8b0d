"""Entrants: the built-in bots by name, or any importable Python policy.

A policy entrant is written MODULE:NAME (NAME may be dotted), an importable
callable, or MODULE:NAME=ARG, calling NAME(ARG) once to build the callable
(for example a policy loaded from a file). Called with one team's
observations, float32 (team size, features) as libzibber_env writes them, it
returns (kinds, angles): per zibber 0 walk, 1 tap, 2 hold or -1 keep the last
action, and a target heading relative to the zibber's own. A policy with an
``angle_bins`` attribute B returns one index 0 .. 3B-1 per zibber instead,
as ZibberVecEnv takes them with ``angle_bins=B``. An optional ``reset(seed)``
is called at the start of every match, so a policy that draws random numbers
stays a function of the match; an optional ``fingerprint`` names its
contents (weights) in the configuration digest.
"""

import importlib
import math

import numpy as np

from ..env_core import TEAM_CODES
from .schedule import TournamentError

BOTS = tuple(name for name in TEAM_CODES if name != "learner")
KEEP = -1
ACTION_KINDS = 3  # walk, tap, hold


class Forfeit(Exception):
    """A policy failed during a match: the message goes into the row."""


def resolve(spec):
    """None for a built-in bot, else the policy callable; TournamentError if neither."""
    if spec in BOTS:
        return None
    if ":" not in spec:
        raise TournamentError(f"unknown entrant {spec!r}: neither a built-in bot "
                              f"({', '.join(BOTS)}) nor a Python policy MODULE:NAME[=ARG]")
    module_name, _, rest = spec.partition(":")
    name, has_arg, arg = rest.partition("=")
    try:
        obj = importlib.import_module(module_name)
    except Exception as err:
        raise TournamentError(f"entrant {spec!r}: cannot import {module_name}: {err}") from None
    for part in name.split("."):
        if not hasattr(obj, part):
            raise TournamentError(f"entrant {spec!r}: {module_name} has no {name}")
        obj = getattr(obj, part)
    if has_arg:
        try:
            obj = obj(arg)
        except Exception as err:
            raise TournamentError(f"entrant {spec!r}: {name}({arg!r}) failed: "
                                  f"{type(err).__name__}: {err}") from None
    if not callable(obj):
        raise TournamentError(f"entrant {spec!r} is not callable")
    return obj


def fingerprint(spec, policy):
    return str(getattr(policy, "fingerprint", spec)) if policy is not None else spec


def _integers(values, what, size):
    a = np.asarray(values)
    if a.shape != (size,):
        raise Forfeit(f"returned {what} of shape {a.shape}, expected ({size},)")
    if a.dtype.kind not in "iu":
        raise Forfeit(f"returned {what} of dtype {a.dtype}, expected integers")
    return a.astype(np.int64)


def team_actions(policy, observations):
    """(kinds int32, angles float64) for one team, or Forfeit saying what went wrong."""
    size = len(observations)
    try:
        out = policy(observations)
    except Exception as err:
        raise Forfeit(f"raised {type(err).__name__}: {err}") from None
    bins = getattr(policy, "angle_bins", None)
    if bins:
        a = _integers(out, "actions", size)
        if ((a < KEEP) | (a >= ACTION_KINDS * bins)).any():
            raise Forfeit(f"returned an action outside -1 .. {ACTION_KINDS * bins - 1}")
        sector = a % bins
        # As libzibber_env computes it: the middle of one of `bins` sectors, starting behind.
        angles = -math.pi + (sector + 0.5) * (2.0 * math.pi / bins)
        return np.where(a == KEEP, KEEP, a // bins).astype(np.int32), angles
    if not isinstance(out, (tuple, list)) or len(out) != 2:
        raise Forfeit(f"returned {type(out).__name__}, expected (kinds, angles)")
    kinds = _integers(out[0], "kinds", size)
    if ((kinds < KEEP) | (kinds >= ACTION_KINDS)).any():
        raise Forfeit("returned a kind that is not 0 (walk), 1 (tap), 2 (hold) or -1 (keep)")
    angles = np.asarray(out[1])
    if angles.shape != (size,) or angles.dtype.kind not in "fiu":
        raise Forfeit(f"returned angles of shape {angles.shape} and dtype {angles.dtype}, "
                      f"expected ({size},) real numbers")
    angles = angles.astype(np.float64)
    if not np.isfinite(angles[kinds != KEEP]).all():
        raise Forfeit("returned a non-finite angle")
    return kinds.astype(np.int32), np.where(kinds == KEEP, 0.0, angles)
