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
    "zb_world*": ctypes.c_void_p,
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


def header_constants():
    """Every ZB_* enum value and numeric macro of the header, by name."""
    text = HEADER.read_text()
    values = {}
    for name, value in re.findall(r"\b(ZB_[A-Z0-9_]+)\s*=\s*(-?\d+)", text):
        values[name] = int(value)
    for name, value in re.findall(r"#define\s+(ZB_[A-Z0-9_]+)\s+(-?[\d.]+)\s*$", text, re.M):
        values[name] = float(value) if "." in value else int(value)
    return values


EXPORT_CLASSES = {
    "ZIBBER": columns.Zibber, "POINT": columns.Point, "RUBY": columns.Ruby,
    "OBSTACLE": columns.Obstacle, "PROJECTILE": columns.Projectile,
    "PARTICLE": columns.Particle, "REMOVAL": columns.Removal,
}


def python_value(name):
    """The Python counterpart of a header constant: ZB_ZIBBER_X is Zibber.X, ZB_ACTION_TAP is TAP..."""
    rest = name[len("ZB_"):]
    group, _, field = rest.partition("_")
    if group in EXPORT_CLASSES and hasattr(EXPORT_CLASSES[group], field):
        return getattr(EXPORT_CLASSES[group], field)
    if group == "ACTION":
        return getattr(columns, field)
    if group == "KIND":
        return getattr(columns.Kind, field)
    return getattr(columns, rest)


def test_every_header_constant_has_an_equal_python_name():
    values = header_constants()
    assert {"ZB_ZIBBER_WIDTH", "ZB_REMOVAL_Y", "ZB_KIND_TURNER", "ZB_BURST_RADIUS"} <= set(values)
    mismatched = {name: (value, python_value(name)) for name, value in values.items()
                  if python_value(name) != value}
    assert not mismatched


def test_every_python_column_is_a_header_constant():
    values = header_constants()
    for group, cls in EXPORT_CLASSES.items():
        names = [n for n in vars(cls) if n.isupper()]
        assert all(f"ZB_{group}_{n}" in values for n in names), cls.__name__
        # The columns of an element are 0 .. WIDTH - 1, each once.
        cols = sorted(values[f"ZB_{group}_{n}"] for n in names
                      if f"ZB_{group}_{n}" in values and n not in ("WIDTH", "BITE", "FINAL_BITE", "SIZE_CHANGE"))
        assert cols == list(range(cls.WIDTH)), cls.__name__
