"""The Python declarations against the public header."""

import ctypes
import re
from pathlib import Path

import pytest

from zibber import _lib, columns

HEADER = Path(__file__).resolve().parents[2] / "include" / "zibber.h"
pytestmark = pytest.mark.skipif(not HEADER.is_file(), reason="header not in this tree")

C_TYPES = {
    "void": None,
    "zb_world *": ctypes.c_void_p,
    "uint64_t": ctypes.c_uint64,
    "uint32_t": ctypes.c_uint32,
    "int32_t": ctypes.c_int32,
    "double": ctypes.c_double,
    "bool": ctypes.c_bool,
}


def declared_functions():
    text = HEADER.read_text()
    found = {}
    for ret, name, args in re.findall(r"ZB_API\s+([\w ]+?\s*\*?)\s*(zb_\w+)\((.*?)\);", text, re.S):
        found[name] = (ret.strip(), [a.strip() for a in args.split(",") if a.strip()])
    return text, found


def test_every_function_declared_with_matching_types():
    _, found = declared_functions()
    assert set(found) == set(_lib.SIGNATURES)
    for name, (ret, args) in found.items():
        restype, argtypes = _lib.SIGNATURES[name]
        assert restype is C_TYPES[ret], name
        assert len(argtypes) == len(args), name
        for decl, argtype in zip(args, argtypes):
            if "*" not in decl and decl.split()[-2] in C_TYPES:
                assert argtype is C_TYPES[decl.split()[-2]], (name, decl)


def snake(name):
    return re.sub(r"(?<!^)(?=[A-Z])", "_", name).upper()


@pytest.mark.parametrize("cls,export,width_name", [
    (columns.Zibber, "zibber", "ZIBBER"), (columns.Point, "point", "POINT"),
    (columns.Ruby, "ruby", "RUBY"), (columns.Obstacle, "obstacle", "OBSTACLE"),
    (columns.Projectile, "projectile", "PROJECTILE"), (columns.Particle, "particle", "PARTICLE"),
    (columns.Removal, "removal", "REMOVAL"),
])
def test_columns_follow_the_header_layouts(cls, export, width_name):
    text, _ = declared_functions()
    width = int(re.search(rf"ZB_{width_name}_WIDTH = (\d+)", text).group(1))
    assert cls.WIDTH == width
    # The header comment lists the fields in export order.
    fields = re.search(rf"/\* {export}: (.*?)\*/", text, re.S).group(1)
    names = [snake(f.strip()) for f in fields.replace("*", " ").split(",")]
    assert len(names) == width
    assert [getattr(cls, n) for n in names] == list(range(width))
