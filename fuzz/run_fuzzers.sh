#!/usr/bin/env bash
# Runs every fuzzer for a bounded time over its seed corpus (CI uses this).
# New inputs go to a scratch folder, so the corpus in the repository only
# changes by hand. Usage: fuzz/run_fuzzers.sh [seconds per fuzzer] [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build/fuzz}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for corpus in fuzz/corpus/*/; do
    name=$(basename "$corpus")
    mkdir -p "$scratch/$name"
    if "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=60 -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$scratch/" "$scratch/$name" "$corpus" >"$scratch/$name.log" 2>&1; then
        echo "fuzz_$name: $(grep -m1 'number_of_executed_units' "$scratch/$name.log" | awk '{print $2}') executions," \
            "$(grep -c . <(ls "$scratch/$name")) new inputs, $(grep -o 'cov: [0-9]*' "$scratch/$name.log" | tail -1)"
    else
        echo "fuzz_$name FAILED:"
        tail -n 40 "$scratch/$name.log"
        status=1
    fi
done
exit $status
