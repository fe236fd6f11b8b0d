"""Python policies to enter in a tournament (entrant MODULE:NAME[=ARG])."""

import hashlib

import numpy as np

from ..observe import ObsConfig

_LAYOUT = ObsConfig()
_POINTS = _LAYOUT.offsets()["points"]


def nearest_point(observations):
    """Walks toward the nearest point; `zibber.tournament.policies:nearest_point`."""
    points = observations[:, _POINTS].reshape(len(observations), _LAYOUT.points, 3)  # valid, fwd, left
    kinds = np.zeros(len(observations), dtype=np.int32)
    angles = np.arctan2(points[:, 0, 2], points[:, 0, 1])
    return kinds, np.where(points[:, 0, 0] > 0, angles, 0.0)


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
        return np.argmax(observations.astype(np.float64) @ self.w + self.b, axis=1)
