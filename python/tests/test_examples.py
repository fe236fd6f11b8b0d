"""The example scripts still run (tiny settings; speed is not judged here)."""

import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parents[1] / "examples"


@pytest.mark.parametrize("script,args,expect", [
    ("bots_vs_random.py", ["--matches", "1", "--size", "1", "--max-steps", "40"], "mean score"),
    ("env_speed.py", ["--sizes", "1,1", "--envs", "2", "--agent-steps", "8", "--rounds", "1"],
     "ZibberVecEnv"),
    ("train_pg.py", ["--iterations", "15", "--envs", "4", "--horizon", "30"], "mean score"),
])
def test_example_runs(lib, script, args, expect):
    done = subprocess.run([sys.executable, str(EXAMPLES / script), *args],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert expect in done.stdout
