"""Python policies to enter in a tournament (entrant MODULE:NAME[=ARG]).

A match must not depend on the process that plays it, and numpy's vector
kernels do not promise that: on AVX-512 machines np.arctan2 (and exp, log,
...) takes a different kernel, with different last bits, when an argument's
address range happens to overlap the output's, and sums may be split by
alignment. These policies keep to exactly rounded operations in a fixed
order (elementwise products and sums, Python's math) so that the same
observations give the same actions everywhere.
"""

import hashlib
import math

import numpy as np

from ..observe import ObsConfig

_LAYOUT = ObsConfig()
_POINTS = _LAYOUT.offsets()["points"]


def nearest_point(observations):
    """Walks toward the nearest point; `zibber.tournament.policies:nearest_point`."""
    points = observations[:, _POINTS].reshape(len(observations), _LAYOUT.points, 3)  # valid, fwd, left
    angles = [math.atan2(float(p[0, 2]), float(p[0, 1])) if p[0, 0] > 0 else 0.0 for p in points]
    return np.zeros(len(observations), dtype=np.int32), np.array(angles)


class LinearPolicy:
    """The linear softmax policy `examples/train_pg.py --save FILE` writes, played greedily.

    Entrant `zibber.tournament.policies:LinearPolicy=FILE`; the weights travel
    to the workers with the policy, so FILE need exist only where the
    tournament is started.
    """

    def __init__(self, path):
        with np.load(path) as data:
            self.w, self.b = data["w"], data["b"]
            self.angle_bins = int(data["angle_bins"])
        if self.w.shape != (_LAYOUT.size, 3 * self.angle_bins) or self.b.shape != (3 * self.angle_bins,):
            raise ValueError(f"{path}: weights of shape {self.w.shape} do not fit observations of "
                             f"{_LAYOUT.size} features and {3 * self.angle_bins} actions")
        self.fingerprint = hashlib.sha256(self.w.tobytes() + self.b.tobytes()).hexdigest()[:16]

    def __call__(self, observations):
        # Feature by feature rather than a BLAS product, whose summation order is its own.
        x = observations.astype(np.float64)
        logits = np.tile(self.b, (len(x), 1))
        for f in range(len(self.w)):
            logits += x[:, f : f + 1] * self.w[f]
        return np.argmax(logits, axis=1)
