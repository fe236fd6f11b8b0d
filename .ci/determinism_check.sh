#!/usr/bin/env bash
# Builds the tool twice, unoptimised and with -O3 -march=native, and checks
# that both end a few bot matches and a recorded match in the same state hash.
# Optimisation must not change results: no contraction, no fast-math, and the
# same math library underneath.
#
# Usage: .ci/determinism_check.sh [extra cmake arguments, e.g. -DZIBBER_PLATFORM_MATH=OFF]
# Environment: DETERMINISM_BUILD_DIR (default build/determinism), JOBS (default 2).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${DETERMINISM_BUILD_DIR:-$root/build/determinism}
jobs=${JOBS:-2}

build() {
    local name=$1 flags=$2
    shift 2
    echo "building $name ($flags)"
    cmake -S "$root" -B "$out/$name" -DCMAKE_BUILD_TYPE= \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
        -DZIBBER_BUILD_TESTS=OFF -DZIBBER_BUILD_BENCH=OFF "$@" >/dev/null
    cmake --build "$out/$name" -j"$jobs" --target zibber_cli >/dev/null
}

build O0 "-O0" "$@"
build O3 "-O3 -march=native" "$@"

failed=0
compare() {
    local what=$1
    shift
    local a b
    a=$("$out/O0/cli/zibber" "$@" | tail -n 1)
    b=$("$out/O3/cli/zibber" "$@" | tail -n 1)
    if [[ "$a" == "$b" ]]; then
        echo "same   $what: $a"
    else
        echo "DIFFER $what: -O0 $a, -O3 $b"
        failed=1
    fi
}

compare "default match" play --quiet
compare "seed 1, 8 teams of 8" play --quiet --seed 1 --teams 8x8
compare "seed 2, 251 zibbers" play --quiet --seed 2 --sizes 126,125 --max-steps 600
compare "golden match 04" replay "$root/tests/data/golden/match-04.replay"

if [[ $failed -ne 0 ]]; then
    echo "determinism check failed: optimisation changed the results" >&2
    exit 1
fi
echo "determinism check passed"
