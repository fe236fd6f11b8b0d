#!/bin/sh
# libzibber_env exports exactly the env_ functions its header declares.
set -eu
lib=$1 header=$2
actual=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[A-Za-z]$/ {print $3}' | sort)
expected=$(grep -o 'env_[a-z_]*(' "$header" | tr -d '(' | sort -u)
if [ "$actual" != "$expected" ]; then
    echo "exported symbols differ from the header:"
    echo "expected: $expected"
    echo "actual: $actual"
    exit 1
fi
echo "$(printf '%s\n' "$actual" | wc -l) exported functions, all declared env_ functions"
