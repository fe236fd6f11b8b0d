"""The results table: one CSV row per match, appended as matches finish.

Rows are written as soon as a match is known, so an interrupted tournament
loses at most the line being written; a resumed one reads them back and
plays only the rest. The finished file is rewritten sorted by match, so two
runs of one tournament give the same file byte for byte.
"""

import csv
import os

from .schedule import TournamentError

FIXED = ("match", "config", "seed", "team_size", "kinds", "max_steps", "ticks", "over", "hash")


def columns(teams):
    per_team = [f"{what}{t}" for t in range(teams) for what in ("team", "score", "place", "forfeit")]
    return list(FIXED) + per_team


def _text(row, names):
    return {name: str(row[name]) for name in names}


def read_done(path, names, config_digest, matches):
    """The rows already in `path` (by match index), after checking they belong to this tournament."""
    if not os.path.exists(path) or os.path.getsize(path) == 0:
        return {}
    with open(path, newline="") as f:
        text = f.read()
    # A run killed mid-write leaves a last line without its newline: it is played again.
    lines = text[: text.rfind("\n") + 1]
    if not lines:
        return {}
    reader = csv.DictReader(lines.splitlines())
    if reader.fieldnames != names:
        raise TournamentError(f"{path} is not a results table of this tournament: its columns are "
                              f"{','.join(reader.fieldnames or [])}")
    done = {}
    for n, row in enumerate(reader, start=2):
        if row["config"] != config_digest:
            raise TournamentError(f"{path} holds results of another configuration (line {n} has config "
                                  f"{row['config']}, this tournament is {config_digest}): "
                                  "give another --out or remove the file")
        index = int(row["match"])
        spec = matches[index] if 0 <= index < len(matches) else None
        if spec is None or row["seed"] != f"0x{spec.seed:016x}" or \
                [row[f"team{t}"] for t in range(len(spec.lineup))] != list(spec.lineup):
            raise TournamentError(f"{path} line {n}: match {index} is not the one this tournament plays")
        done[index] = row
    return done


class Appender:
    """Appends rows to the results file, header first when it is new."""

    def __init__(self, path, names):
        self.names = names
        if os.path.exists(path):
            with open(path, "rb+") as f:
                f.truncate(f.read().rfind(b"\n") + 1)
        exists = os.path.exists(path) and os.path.getsize(path) > 0
        self.file = open(path, "a", newline="")
        self.writer = csv.DictWriter(self.file, names, lineterminator="\n")
        if not exists:
            self.writer.writeheader()
            self.file.flush()

    def add(self, row):
        self.writer.writerow(_text(row, self.names))
        self.file.flush()

    def close(self):
        self.file.close()


def write_sorted(path, names, rows):
    """Rewrites `path` with every row in match order; the rename keeps a whole file on disk."""
    tmp = f"{path}.tmp{os.getpid()}"
    with open(tmp, "w", newline="") as f:
        writer = csv.DictWriter(f, names, lineterminator="\n")
        writer.writeheader()
        for index in sorted(rows):
            writer.writerow(_text(rows[index], names))
    os.replace(tmp, path)
