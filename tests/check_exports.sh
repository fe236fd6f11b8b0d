#!/bin/sh
# A shared library's boundary is exactly the functions its header declares
# with the given prefix, and, when given, that many of them.
# Usage: check_exports.sh LIB HEADER PREFIX [COUNT]
set -eu
lib=$1 header=$2 prefix=$3 count=${4:-}
actual=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[A-Za-z]$/ {print $3}' | sort)
expected=$(grep -o "${prefix}[a-z_]*(" "$header" | tr -d '(' | sort -u)
if [ "$actual" != "$expected" ]; then
    echo "exported symbols differ from the header:"
    printf '%s\n' "$actual" > /tmp/zb_actual.$$; printf '%s\n' "$expected" > /tmp/zb_expected.$$
    diff /tmp/zb_expected.$$ /tmp/zb_actual.$$ || true
    rm -f /tmp/zb_actual.$$ /tmp/zb_expected.$$
    exit 1
fi
found=$(printf '%s\n' "$actual" | wc -l)
if [ -n "$count" ] && [ "$found" -ne "$count" ]; then
    echo "expected $count exported functions, found $found"
    exit 1
fi
echo "$found exported functions, all declared ${prefix} functions"
