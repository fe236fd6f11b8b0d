import os
import sys
from pathlib import Path

import pytest

# Lets `pytest python/tests` run from a fresh clone without PYTHONPATH.
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from zibber import _lib  # noqa: E402


@pytest.fixture(scope="session")
def lib():
    """The loaded library; skips only when none was built and none was asked for."""
    try:
        return _lib.load()
    except OSError as err:
        if os.environ.get("ZIBBER_LIB"):
            raise
        pytest.skip(f"libzibber.so not built: {err}")
