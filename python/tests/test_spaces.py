import numpy as np
import pytest

from zibber.spaces import FallbackBox, FallbackDiscrete


def test_box_samples_stay_in_bounds_and_repeat_with_a_seed():
    box = FallbackBox(np.array([0, -3.0]), np.array([2, 3.0]), dtype=np.float32, seed=7)
    draws = np.array([box.sample() for _ in range(200)])
    assert box.shape == (2,) and draws.dtype == np.float32
    assert (draws >= box.low).all() and (draws <= box.high).all()
    assert box.contains(draws[0]) and not box.contains(np.array([3.0, 0.0]))
    box.seed(7)
    assert np.array_equal(box.sample(), draws[0])


def test_unbounded_box_samples_are_finite():
    box = FallbackBox(-np.inf, np.inf, (4,), np.float32, seed=1)
    assert np.isfinite(box.sample()).all()
    with pytest.raises(ValueError):
        FallbackBox(1.0, 0.0, (1,))


def test_discrete():
    d = FallbackDiscrete(5, seed=3)
    draws = {int(d.sample()) for _ in range(200)}
    assert draws == set(range(5))
    assert d.contains(4) and not d.contains(5) and not d.contains(1.0)
