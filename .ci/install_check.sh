#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and uses it as a downstream
# project would: the tool without LD_LIBRARY_PATH, a CMake consumer through
# find_package, a C consumer through pkg-config, a FetchContent consumer of
# the source tree, and the Python package installed with pip.
# Usage: .ci/install_check.sh [BUILD_DIR] (default build/play, configured)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/play}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
unset LD_LIBRARY_PATH ZIBBER_LIB
version=$(grep -m1 '#define ZB_VERSION_STRING' "$root/include/zibber.h" | cut -d'"' -f2)

# A preset may build only some targets (play builds the tool alone); an
# install takes every library, so the whole tree is built first.
cmake --build "$build" >/dev/null
echo "-- install into $prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
(cd "$prefix" && find . -type f -o -type l | sort)
runpath=$(readelf -d "$prefix/bin/zibber" | grep -E 'RUNPATH|RPATH')
[[ $runpath == *'[$ORIGIN/../lib]'* ]] || { echo "bin/zibber run path: $runpath"; exit 1; }
[[ $("$prefix/bin/zibber" --version) == "zibber $version" ]]
"$prefix/bin/zibber" play --quiet --max-steps 200

# The three consumers build the documented example and must agree.
cp "$root/examples/minimal_host.c" "$work/"

echo "-- find_package consumer"
mkdir "$work/cmake-consumer"
cat >"$work/cmake-consumer/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(consumer C)
find_package(zibber 0.2 CONFIG REQUIRED)
add_executable(consumer ../minimal_host.c)
target_link_libraries(consumer PRIVATE zibber::zibber)
# Another major version must not be taken for this one.
find_package(zibber 1 CONFIG QUIET)
if(zibber_FOUND)
  message(FATAL_ERROR "zibber ${zibber_VERSION} was accepted for version 1")
endif()
CMAKE
cmake -S "$work/cmake-consumer" -B "$work/cmake-consumer/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-consumer/build" >/dev/null
expected=$("$work/cmake-consumer/build/consumer")
[[ $expected == "tick 300, "* ]]

echo "-- pkg-config consumer"
export PKG_CONFIG_PATH; PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name zibber.pc)")
[[ $(pkg-config --modversion zibber) == "$version" ]]
libdir=$(pkg-config --variable=libdir zibber)
# shellcheck disable=SC2046 # the flags are meant to split
cc "$work/minimal_host.c" -o "$work/pc-consumer" $(pkg-config --cflags --libs zibber) -Wl,-rpath,"$libdir"
[[ $("$work/pc-consumer") == "$expected" ]]

echo "-- FetchContent consumer of the source tree"
mkdir "$work/fetch-consumer"
cat >"$work/fetch-consumer/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(consumer C)
include(FetchContent)
FetchContent_Declare(zibber SOURCE_DIR "$root")
FetchContent_MakeAvailable(zibber)
add_executable(consumer ../minimal_host.c)
target_link_libraries(consumer PRIVATE zibber::zibber)
CMAKE
cmake -S "$work/fetch-consumer" -B "$work/fetch-consumer/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/fetch-consumer/build" -j2 >/dev/null
[[ $("$work/fetch-consumer/build/consumer") == "$expected" ]]
# A subproject builds the library only.
[[ ! -e $work/fetch-consumer/build/_deps/zibber-build/cli/zibber ]]

echo "-- Python package installed with pip, library from the prefix"
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
cp -r "$root/python" "$work/python-src"
"$work/venv/bin/pip" install -q --no-build-isolation --no-index "$work/python-src"
(cd "$work" && LD_LIBRARY_PATH=$prefix/lib "$work/venv/bin/python" - "$version" <<'PY'
import sys, zibber, zibber._lib as lib
assert zibber.__version__ == sys.argv[1], zibber.__version__
assert "/site-packages/" in zibber.__file__, zibber.__file__
assert lib.load().path.startswith("libzibber.so"), lib.load().path  # found by the loader
with zibber.World(seed=7) as world:
    world.setup([2, 2])
    world.step(10)
    assert world.tick == 10
print("python:", zibber.__version__, "library", lib.load().path)
PY
)
echo "install check: all consumers built and ran"
