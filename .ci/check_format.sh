#!/usr/bin/env bash
# Fails when clang-format would change any tracked C or C++ file. Generated
# tables are left as their generator writes them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h' | grep -v '_tables\.h$')
clang-format --dry-run --Werror "${files[@]}"
echo "format check: ${#files[@]} files formatted"
