"""Python bindings for libzibber: World, ZibberEnv and run_batch."""

from . import columns
from ._lib import __version__
from .batch import BatchResult, measure_scaling, run_batch
from .columns import HOLD, TAP, WALK, Kind, Obstacle, Particle, Point, Projectile, Removal, Ruby, Zibber
from .env import ZibberEnv
from .vec_env import ZibberVecEnv
from .observe import ObsConfig, build_observations
from .world import ZIBBER_CAPACITY, World

__all__ = [
    "__version__", "BatchResult", "HOLD", "Kind", "ObsConfig", "Obstacle", "Particle", "Point", "Projectile",
    "Removal", "Ruby", "TAP", "WALK", "World", "ZIBBER_CAPACITY", "Zibber", "ZibberEnv", "ZibberVecEnv",
    "build_observations", "columns", "measure_scaling", "run_batch",
]
