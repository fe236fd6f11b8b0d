#!/bin/sh
# The shared library's boundary is exactly the functions the header declares.
set -eu
lib=$1 header=$2
actual=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[A-Za-z]$/ {print $3}' | sort)
expected=$(grep -o 'zb_[a-z_]*(' "$header" | tr -d '(' | sort -u)
if [ "$actual" != "$expected" ]; then
    echo "exported symbols differ from the header:"
    printf '%s\n' "$actual" > /tmp/zb_actual.$$; printf '%s\n' "$expected" > /tmp/zb_expected.$$
    diff /tmp/zb_expected.$$ /tmp/zb_actual.$$ || true
    rm -f /tmp/zb_actual.$$ /tmp/zb_expected.$$
    exit 1
fi
count=$(printf '%s\n' "$actual" | wc -l)
[ "$count" -eq 24 ] || { echo "expected 24 exported functions, found $count"; exit 1; }
echo "$(printf '%s\n' "$actual" | wc -l) exported functions, all declared"
