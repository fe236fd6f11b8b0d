"""Box and Discrete spaces: gymnasium's when it is installed, else small stand-ins.

The stand-ins offer what the environment and simple agents use: shape, dtype,
low/high (Box), n (Discrete), sample(), contains() and seed().
"""

import numpy as np

try:
    import gymnasium.spaces as _gym
except ImportError:
    _gym = None

HAVE_GYMNASIUM = _gym is not None


class _Space:
    def __init__(self, shape, dtype, seed=None):
        self.shape = shape
        self.dtype = np.dtype(dtype)
        self.np_random = np.random.default_rng(seed)

    def seed(self, seed=None):
        self.np_random = np.random.default_rng(seed)
        return [seed]


class FallbackBox(_Space):
    def __init__(self, low, high, shape=None, dtype=np.float32, seed=None):
        if shape is None:
            shape = np.broadcast(np.asarray(low), np.asarray(high)).shape
        shape = tuple(shape)
        super().__init__(shape, dtype, seed)
        self.low = np.broadcast_to(np.asarray(low, dtype=self.dtype), shape).copy()
        self.high = np.broadcast_to(np.asarray(high, dtype=self.dtype), shape).copy()
        if (self.low > self.high).any():
            raise ValueError("low must not exceed high")

    def sample(self):
        # Unbounded sides get a normal draw, like gymnasium does.
        low = np.where(np.isfinite(self.low), self.low, 0).astype(np.float64)
        high = np.where(np.isfinite(self.high), self.high, 0).astype(np.float64)
        draw = self.np_random.uniform(low, high, size=self.shape)
        unbounded = ~(np.isfinite(self.low) & np.isfinite(self.high))
        if unbounded.any():
            draw = np.where(unbounded, low + self.np_random.normal(size=self.shape), draw)
        return draw.astype(self.dtype)

    def contains(self, x):
        x = np.asarray(x)
        return bool(
            x.shape == self.shape
            and np.can_cast(x.dtype, self.dtype, casting="same_kind")
            and (x >= self.low).all()
            and (x <= self.high).all()
        )

    __contains__ = contains

    def __repr__(self):
        return f"Box({self.low.min()}, {self.high.max()}, {self.shape}, {self.dtype})"


class FallbackDiscrete(_Space):
    def __init__(self, n, seed=None, start=0):
        if n < 1:
            raise ValueError("n must be positive")
        super().__init__((), np.int64, seed)
        self.n = int(n)
        self.start = int(start)

    def sample(self):
        return np.int64(self.start + self.np_random.integers(self.n))

    def contains(self, x):
        if isinstance(x, (int, np.integer)):
            return self.start <= int(x) < self.start + self.n
        return False

    __contains__ = contains

    def __repr__(self):
        return f"Discrete({self.n})"


Box = _gym.Box if _gym else FallbackBox
Discrete = _gym.Discrete if _gym else FallbackDiscrete
