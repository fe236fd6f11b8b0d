"""Tournaments: the same table in one process, on a LocalCluster, after a worker's death and
after an interruption; bad input gives clear errors and forfeits."""

import os
import signal
import socket
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

pytest.importorskip("distributed")
from distributed import Client  # noqa: E402
from zibber.tournament import TournamentConfig, play_command, ratings, replay_row, run_tournament  # noqa: E402
from zibber.tournament.__main__ import main  # noqa: E402

REPO = Path(__file__).resolve().parents[3]
CONFIG = TournamentConfig(entrants=("collector", "hunter", "random", "zibber.tournament.policies:nearest_point"),
                          seeds=2, team_size=2, seed=7, max_steps=1500)


@pytest.fixture(scope="module")
def reference(tmp_path_factory, lib):
    """The tournament played by a plain loop in this process."""
    path = tmp_path_factory.mktemp("ref") / "results.csv"
    outcome = run_tournament(CONFIG, path, workers=0, progress=False)
    assert outcome.played == 12 and not outcome.forfeits
    return path.read_bytes()


def test_local_cluster_equals_one_process(reference, tmp_path):
    out = tmp_path / "results.csv"
    run_tournament(CONFIG, out, workers=2, progress=False)
    assert out.read_bytes() == reference
    rows = run_tournament(CONFIG, out, workers=0, progress=False).rows
    policy_row = next(r for r in rows if r["team1"].endswith("nearest_point"))
    assert {k: str(v) for k, v in replay_row(policy_row).items()} == policy_row
    cli = Path(os.environ.get("ZIBBER_CLI", REPO / "build/default/cli/zibber"))
    if not cli.is_file():
        pytest.skip("no zibber tool built")
    bots_row = next(r for r in rows if play_command(r))
    played = subprocess.run([str(cli)] + play_command(bots_row).split()[1:], capture_output=True, text=True,
                            check=True).stdout
    assert played.strip() == f"final tick {bots_row['ticks']} hash {bots_row['hash']}"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_killed_worker_loses_nothing(reference, tmp_path):
    address = f"tcp://127.0.0.1:{free_port()}"
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    quiet = dict(env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    procs = [subprocess.Popen(["dask-scheduler", "--host", "127.0.0.1", "--port", address.rsplit(":")[-1],
                               "--no-dashboard"], **quiet)]
    try:
        workers = [subprocess.Popen(["dask-worker", address, "--nthreads", "1", "--no-nanny",
                                     "--no-dashboard"], **quiet) for _ in range(2)]
        procs += workers
        killed = []

        def kill_one(row):
            if not killed:
                assert workers[0].poll() is None
                workers[0].send_signal(signal.SIGKILL)
                killed.append(row["match"])

        with Client(address, timeout=30) as client:
            client.wait_for_workers(2, timeout=60)  # both busy when the first match comes back
        out = tmp_path / "results.csv"
        run_tournament(CONFIG, out, scheduler=address, progress=False, on_result=kill_one, connect_timeout=30)
        assert workers[0].wait(10) == -signal.SIGKILL and workers[1].poll() is None
        assert out.read_bytes() == reference
    finally:
        for p in procs:
            p.kill()
            p.wait()


def test_resume_after_interruption(reference, tmp_path):
    out = tmp_path / "results.csv"

    def stop_after_five(row):
        if len(out.read_text().splitlines()) > 5:
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        run_tournament(CONFIG, out, workers=0, progress=False, on_result=stop_after_five)
    with open(out, "a") as f:
        f.write("7,half a line cut by the kill")
    outcome = run_tournament(CONFIG, out, workers=0, progress=False)
    assert outcome.played == 7 and out.read_bytes() == reference


def test_bad_input_is_named(reference, tmp_path, capsys):
    out = tmp_path / "results.csv"
    out.write_bytes(reference)
    base = ["--out", str(out), "--seeds", "2", "--team-size", "2", "--max-steps", "1500", "--no-progress"]
    cases = [(["--entrants", "collector,hunterr"], "unknown entrant 'hunterr'"),
             (["--entrants", "collector,no_such_module:f"], "cannot import no_such_module"),
             (["--entrants", "collector,zibber.tournament.policies:LinearPolicy=/nonexistent.npz"],
              "LinearPolicy('/nonexistent.npz') failed"),
             (["--entrants", ",".join(CONFIG.entrants), "--seed", "8"], "results of another configuration"),
             (["--entrants", "collector,hunter", "--workers", "2", "--scheduler",
               f"tcp://127.0.0.1:{free_port()}", "--connect-timeout", "1", "--out", str(tmp_path / "new.csv")],
              "cannot reach the Dask scheduler")]
    for args, message in cases:
        assert main(base + args) == 2
        assert message in capsys.readouterr().err
    assert out.read_bytes() == reference


def raises(obs):
    raise ValueError("no idea")


def wrong_shape(obs):
    return np.zeros(len(obs) + 1, dtype=int), np.zeros(len(obs) + 1)


def bad_kind(obs):
    return np.full(len(obs), 3), np.zeros(len(obs))


def nan_angle(obs):
    return np.zeros(len(obs), dtype=int), np.full(len(obs), np.nan)


def late_failure(obs):
    late_failure.calls = getattr(late_failure, "calls", 0) + 1
    return np.zeros(len(obs), dtype=int), np.zeros(len(obs)) if late_failure.calls < 50 else None


def test_failing_policies_forfeit(tmp_path, lib):
    bad = {"raises": "raised ValueError: no idea", "wrong_shape": "kinds of shape (3,), expected (2,)",
           "bad_kind": "a kind that is not 0", "nan_angle": "non-finite angle", "late_failure": "at tick 49"}
    config = TournamentConfig(entrants=("random",) + tuple(f"{__name__}:{p}" for p in bad), seeds=1,
                              format="gauntlet", team_size=2, max_steps=300)
    outcome = run_tournament(config, tmp_path / "results.csv", workers=0, progress=False)
    assert len(outcome.rows) == len(bad) == len(outcome.forfeits)
    for row, reason in zip(outcome.rows, bad.values()):
        assert (row["team0"], row["place0"], row["place1"]) == ("random", 1, 2) and row["ticks"] == 300
        assert reason in row["forfeit1"], row["forfeit1"]


def test_ratings_follow_the_results():
    rows = [{"team0": "a", "team1": "b", "place0": p, "place1": 3 - p, "score0": 0, "score1": 0, "forfeit0": "",
             "forfeit1": ""} for p in (1, 1, 1, 2)]
    table = ratings(rows, ("a", "b"), 2, bootstrap=50).set_index("entrant")
    # One drawn game of prior: a's odds are 3.5 to 1.5.
    assert table.rating["a"] - table.rating["b"] == pytest.approx(400 * np.log10(3.5 / 1.5))
    assert table.low["b"] <= table.rating["b"] <= table.high["b"] and table.firsts.tolist() == [3, 1]
