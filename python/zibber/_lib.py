"""Finding libzibber.so and declaring its C interface for ctypes."""

import ctypes
import ctypes.util
import os
import types
from pathlib import Path

# The library's ZB_VERSION_STRING; the ctest `version` holds the two equal.
__version__ = "0.2.0"

_PACKAGE_DIR = Path(__file__).resolve().parent
_REPO_DIR = _PACKAGE_DIR.parent.parent

_handle = ctypes.c_void_p
_doubles = ctypes.c_void_p  # raw buffer addresses: cheaper per call than POINTER(c_double)
_int32s = ctypes.c_void_p

# name -> (result type, argument types); mirrors include/zibber.h.
SIGNATURES = {
    "zb_create": (_handle, [ctypes.c_uint64]),
    "zb_destroy": (None, [_handle]),
    "zb_setup": (None, [_handle, _int32s, ctypes.c_int32, _int32s]),
    "zb_set_action": (None, [_handle, ctypes.c_int32, ctypes.c_int32, ctypes.c_double]),
    "zb_step": (None, [_handle]),
    "zb_tick": (ctypes.c_uint32, [_handle]),
    "zb_map_size": (ctypes.c_double, [_handle]),
    "zb_is_over": (ctypes.c_bool, [_handle]),
    "zb_num_teams": (ctypes.c_int32, [_handle]),
    "zb_num_zibbers": (ctypes.c_int32, [_handle]),
    "zb_num_points": (ctypes.c_int32, [_handle]),
    "zb_num_rubys": (ctypes.c_int32, [_handle]),
    "zb_num_obstacles": (ctypes.c_int32, [_handle]),
    "zb_num_projectiles": (ctypes.c_int32, [_handle]),
    "zb_num_particles": (ctypes.c_int32, [_handle]),
    "zb_num_removals": (ctypes.c_int32, [_handle]),
    "zb_team_scores": (None, [_handle, _int32s]),
    "zb_zibbers": (None, [_handle, _doubles]),
    "zb_points": (None, [_handle, _doubles]),
    "zb_rubys": (None, [_handle, _doubles]),
    "zb_obstacles": (None, [_handle, _doubles]),
    "zb_projectiles": (None, [_handle, _doubles]),
    "zb_particles": (None, [_handle, _doubles]),
    "zb_removals": (None, [_handle, _doubles]),
}


def candidate_paths():
    """Where the library is looked for, in order, before the system loader."""
    paths = []
    override = os.environ.get("ZIBBER_LIB")
    if override:
        paths.append(Path(override))
    paths.append(_PACKAGE_DIR / "libzibber.so")
    # A fresh clone built with the test preset or the main job's has it here.
    paths.append(_REPO_DIR / "build" / "default" / "libzibber.so")
    paths.append(_REPO_DIR / "build" / "play" / "libzibber.so")
    return paths


# Only these release the GIL while they run. Handing the GIL over costs more
# than the short reads take, and with several threads each hand-over can stall
# behind another thread's Python work.
RELEASES_GIL = {"zb_step", "zb_setup"}


def _declare(path, signatures=SIGNATURES, releases=RELEASES_GIL):
    """A namespace with one declared function per name of `signatures`."""
    releasing, holding = ctypes.CDLL(path), ctypes.PyDLL(path)
    lib = types.SimpleNamespace(path=path)
    for name, (restype, argtypes) in signatures.items():
        fn = getattr(releasing if name in releases else holding, name)
        fn.restype = restype
        fn.argtypes = argtypes
        setattr(lib, name, fn)
    return lib


_loaded = None


def load():
    """Load the library once; later calls return the same handle."""
    global _loaded
    if _loaded is not None:
        return _loaded
    paths = candidate_paths()
    if os.environ.get("ZIBBER_LIB"):
        # An explicit choice must not silently fall back to another build.
        paths = paths[:1]
    for path in paths:
        if path.is_file():
            _loaded = _declare(str(path))
            return _loaded
    # Installed with `cmake --install`: the loader's cache (after ldconfig) or
    # LD_LIBRARY_PATH knows it.
    system = None if os.environ.get("ZIBBER_LIB") else ctypes.util.find_library("zibber")
    if system:
        _loaded = _declare(system)
        return _loaded
    tried = "\n  ".join(str(p) for p in paths)
    raise OSError(
        "libzibber.so not found; tried:\n  " + tried + "\n  the system loader\n"
        "Build it (cmake --preset play && cmake --build --preset play), install it, "
        "or point ZIBBER_LIB at it."
    )


# libzibber_env, the batched environment core beside libzibber.

ENV_SIGNATURES = {
    "env_default_config": (None, [ctypes.c_void_p]),
    "env_create": (_handle, [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int32]),
    "env_destroy": (None, [_handle]),
    "env_num_envs": (ctypes.c_int32, [_handle]),
    "env_num_agents": (ctypes.c_int32, [_handle]),
    "env_observation_size": (ctypes.c_int32, [_handle]),
    "env_last_error": (ctypes.c_char_p, [_handle]),
    "env_set_buffers": (ctypes.c_int32, [_handle, ctypes.c_void_p]),
    "env_reset": (ctypes.c_int32, [_handle, ctypes.c_void_p]),
    "env_reset_match": (ctypes.c_int32, [_handle, ctypes.c_int32, ctypes.c_uint64]),
    "env_step": (ctypes.c_int32, [_handle, ctypes.c_void_p, ctypes.c_void_p]),
    "env_world": (_handle, [_handle, ctypes.c_int32]),
}
# Whole batches: long enough that other Python threads should run meanwhile.
ENV_RELEASES_GIL = {"env_step", "env_reset", "env_reset_match", "env_create", "env_destroy"}


def env_candidate_paths():
    """Where libzibber_env.so is looked for, in order."""
    override = os.environ.get("ZIBBER_ENV_LIB")
    if override:
        return [Path(override)]
    paths = [_PACKAGE_DIR / "libzibber_env.so"]
    core = Path(load().path).resolve().parent
    # A build tree keeps it in env/ below libzibber.so; an install beside it.
    paths += [core / "env" / "libzibber_env.so", core / "libzibber_env.so"]
    paths.append(_REPO_DIR / "build" / "default" / "env" / "libzibber_env.so")
    return paths


_env_loaded = None


def load_env():
    """Load libzibber_env once (after libzibber, which it links)."""
    global _env_loaded
    if _env_loaded is not None:
        return _env_loaded
    paths = env_candidate_paths()
    found = next((str(path) for path in paths if path.is_file()), None)
    if found is None and not os.environ.get("ZIBBER_ENV_LIB"):
        found = ctypes.util.find_library("zibber_env")  # installed with cmake --install
    if found:
        _env_loaded = _declare(found, ENV_SIGNATURES, ENV_RELEASES_GIL)
        return _env_loaded
    tried = "\n  ".join(str(p) for p in paths)
    raise OSError("libzibber_env.so not found; tried:\n  " + tried + "\n  the system loader\n"
                  "Build it (cmake --build --preset default) or point ZIBBER_ENV_LIB at it.")
