"""Python bindings for libzibber and libzibber_env: World, ZibberEnv, ZibberVecEnv, EnvBatch."""

from . import columns
from ._lib import __version__
from .batch import BatchResult, measure_scaling, run_batch
from .columns import HOLD, TAP, WALK, Kind, Obstacle, Particle, Point, Projectile, Removal, Ruby, Zibber
from .env import ZibberEnv
from .vec_env import ZibberVecEnv
from .env_core import EnvBatch
from .observe import ObsConfig
from .world import ZIBBER_CAPACITY, World

__all__ = [
    "__version__", "BatchResult", "EnvBatch", "HOLD", "Kind", "ObsConfig", "Obstacle", "Particle", "Point",
    "Projectile",
    "Removal", "Ruby", "TAP", "WALK", "World", "ZIBBER_CAPACITY", "Zibber", "ZibberEnv", "ZibberVecEnv",
    "columns", "measure_scaling", "run_batch",
]
