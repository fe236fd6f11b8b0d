import os

import pytest

from zibber import _lib


@pytest.fixture(scope="session")
def lib():
    """The loaded library; skips only when none was built and none was asked for."""
    try:
        return _lib.load()
    except OSError as err:
        if os.environ.get("ZIBBER_LIB"):
            raise
        pytest.skip(f"libzibber.so not built: {err}")
