"""Ratings from the results table: Bradley-Terry on an Elo scale, with bootstrap intervals.

Every match is read as the pairwise meetings of its teams: the better
placing wins, equal placings draw (half a win each). A prior of one drawn
game between every two entrants keeps ratings finite when one wins all and
links entrants that never met (the field of a gauntlet).
"""

import numpy as np
import pandas as pd

ELO = 400 / np.log(10)  # Elo points per unit of log strength
CENTRE = 1500


def meetings(rows, entrants, teams):
    """Per match, wins[i, j] (i placed ahead of j, draws half) and games[i, j]."""
    at = {e: i for i, e in enumerate(entrants)}
    n = len(entrants)
    wins = np.zeros((len(rows), n, n))
    for m, row in enumerate(rows):
        for t in range(teams):
            for u in range(teams):
                if t != u:
                    a, b = at[row[f"team{t}"]], at[row[f"team{u}"]]
                    pt, pu = int(row[f"place{t}"]), int(row[f"place{u}"])
                    wins[m, a, b] += 1.0 if pt < pu else 0.5 if pt == pu else 0.0
    return wins, wins + wins.transpose(0, 2, 1)


def bradley_terry(wins, games, prior=1.0, iterations=500):
    """Log strengths by the minorise-maximise iteration, mean 0."""
    n = len(wins)
    off = 1 - np.eye(n)
    w = wins + prior * 0.5 * off
    g = games + prior * off
    total = w.sum(axis=1)
    p = np.ones(n)
    for _ in range(iterations):
        new = total / (g / (p[:, None] + p[None, :])).sum(axis=1)
        new /= np.exp(np.log(new).mean())
        if np.allclose(new, p, rtol=1e-12, atol=0):
            p = new
            break
        p = new
    return np.log(p)


def ratings(rows, entrants, teams, bootstrap=200, seed=0):
    """A table of rating, 95 % interval and tallies per entrant, best first."""
    wins, games = meetings(rows, entrants, teams)
    rating = CENTRE + ELO * bradley_terry(wins.sum(axis=0), games.sum(axis=0))
    rng = np.random.default_rng(seed)
    m = len(rows)
    draws = []
    for _ in range(bootstrap):
        counts = np.bincount(rng.integers(0, m, m), minlength=m).astype(float)
        draws.append(CENTRE + ELO * bradley_terry(np.tensordot(counts, wins, 1), np.tensordot(counts, games, 1)))
    low, high = np.percentile(np.array(draws), [2.5, 97.5], axis=0) if draws else (rating, rating)
    table = pd.DataFrame({"entrant": list(entrants), "rating": rating, "low": low, "high": high})
    for i, e in enumerate(entrants):
        scores, places, forfeits = [], [], 0
        for row in rows:
            for t in range(teams):
                if row[f"team{t}"] == e:
                    scores.append(int(row[f"score{t}"]))
                    places.append(int(row[f"place{t}"]))
                    forfeits += bool(row[f"forfeit{t}"])
        table.loc[i, "matches"] = len(scores)
        table.loc[i, "firsts"] = sum(p == 1 for p in places)
        table.loc[i, "mean_score"] = np.mean(scores) if scores else np.nan
        table.loc[i, "forfeits"] = forfeits
    table = table.astype({"matches": int, "firsts": int, "forfeits": int})
    return table.sort_values("rating", ascending=False).reset_index(drop=True)


def win_rates(rows, entrants, teams):
    """rate[i][j]: the share of meetings in which i placed ahead of j (draws half)."""
    wins, games = meetings(rows, entrants, teams)
    w, g = wins.sum(axis=0), games.sum(axis=0)
    with np.errstate(invalid="ignore", divide="ignore"):
        rate = np.where(g > 0, w / g, np.nan)
    return pd.DataFrame(rate, index=list(entrants), columns=list(entrants))


def plot(table, rates, path, title):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    names = list(table["entrant"])
    fig, (left, right) = plt.subplots(1, 2, figsize=(11, 0.5 * len(names) + 3),
                                      gridspec_kw={"width_ratios": [1, 1.2]})
    y = np.arange(len(names))[::-1]
    err = [table["rating"] - table["low"], table["high"] - table["rating"]]
    left.errorbar(table["rating"], y, xerr=err, fmt="o", capsize=4)
    left.set_yticks(y, [short(n) for n in names])
    left.axvline(CENTRE, color="grey", lw=0.5)
    left.set_xlabel("Bradley-Terry rating (Elo scale), 95 % bootstrap interval")
    grid = rates.loc[names, names].to_numpy()
    image = right.imshow(grid, vmin=0, vmax=1, cmap="RdBu")
    for i in range(len(names)):
        for j in range(len(names)):
            if not np.isnan(grid[i, j]):
                right.text(j, i, f"{grid[i, j]:.2f}", ha="center", va="center", fontsize=8,
                           color="white" if abs(grid[i, j] - 0.5) > 0.3 else "black")
    right.set_xticks(range(len(names)), [short(n) for n in names], rotation=30, ha="right")
    right.set_yticks(range(len(names)), [short(n) for n in names])
    right.set_title("row placed ahead of column (share of meetings)", fontsize=9)
    fig.colorbar(image, ax=right, shrink=0.8)
    fig.suptitle(title, fontsize=10)
    fig.tight_layout()
    fig.savefig(path, dpi=100)
    plt.close(fig)


def short(name):
    """A policy's NAME (and file) rather than its whole MODULE:NAME=ARG."""
    return name.split(":")[-1].split("/")[-1]
