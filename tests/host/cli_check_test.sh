#!/usr/bin/env bash
# The zibber tool as a user meets it: help and version, call logs that must
# not pass --check, files that are not call logs, and output that cannot be
# written. Usage: cli_check_test.sh ZIBBER VERSION SOURCE_DIR
set -uo pipefail
zibber=$1 version=$2 src=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
passed=0 failed=0

# expect STATUS TEXT COMMAND...: COMMAND exits with STATUS and says TEXT on
# stderr in one line (an empty TEXT: stderr stays empty).
expect() {
    local want=$1 text=$2 lines=1
    shift 2
    [[ -z $text ]] && lines=0
    "$@" >"$dir/out" 2>"$dir/err" </dev/null
    local got=$? err
    err=$(cat "$dir/err")
    if [[ $got -eq $want && $(wc -l <"$dir/err") -eq $lines && $err == *"$text"* ]]; then
        passed=$((passed + 1))
    else
        echo "FAIL: $* -> exit $got (want $want $text): $err"
        failed=$((failed + 1))
    fi
}
check() {
    if "$@"; then passed=$((passed + 1)); else echo "FAIL: $*"; failed=$((failed + 1)); fi
}
out() { grep -q -- "$1" "$dir/out"; }

# Help, version, and the version held equal wherever it is written.
expect 0 "" "$zibber" --version
check [ "$(cat "$dir/out")" = "zibber $version" ]
for pair in play:--record replay:--check bench:--repeats; do
    expect 0 "" "$zibber" "${pair%%:*}" --help
    check out "${pair#*:}"
done
check grep -q "^__version__ = \"$version\"" "$src/python/zibber/_lib.py"
check [ "$(grep -m1 '^## ' "$src/CHANGELOG.md" | grep -o '[0-9][0-9.]*')" = "$version" ]

# A duel, so that one zibber is dead while the other plays on.
log=$dir/duel.log
expect 0 "" "$zibber" play --seed 3 --sizes 1,1 --record "$log"
read -r dead deathTick < <(awk '$1 ~ /^[0-9]+$/ { print $2, $7 }' "$dir/out" | sort -k2 -n | head -1)
endTick=$(awk '/^final tick/ { print $3 }' "$dir/out")
check [ "$(tail -1 "$log" | cut -d' ' -f1)" = end ]
expect 0 "" "$zibber" replay "$log" --check
check out "the end line included"
final=$(tail -1 "$dir/out")

# Not a call log: exit 2, one line, and no hang on a FIFO or /dev/zero.
mkfifo "$dir/fifo"
: >"$dir/empty"
printf '# no create\nstep 3\n' >"$dir/nocreate"
expect 2 "is a directory" "$zibber" replay "$dir" --check
expect 2 "not a regular file" timeout 10 "$zibber" replay /dev/zero
expect 2 "not a regular file" timeout 10 "$zibber" replay /dev/null --check
expect 2 "not a regular file" timeout 10 "$zibber" replay "$dir/fifo"
expect 2 "is empty" "$zibber" replay "$dir/empty"
expect 2 "starts with a create line" "$zibber" replay "$dir/nocreate"
{ cat "$log"; echo step; } >"$dir/after-end"
expect 2 "after the end line" "$zibber" replay "$dir/after-end"

# Cut short at a line boundary, or with nothing to verify: no pass.
head -n -1 "$log" >"$dir/no-end"
expect 1 "may be cut short" "$zibber" replay "$dir/no-end" --check
head -n "$(($(grep -n -m1 '^check' "$log" | cut -d: -f1) + 5))" "$log" >"$dir/cut"
expect 1 "may be cut short" "$zibber" replay "$dir/cut" --check
grep -v '^check\|^end' "$log" >"$dir/bare"
expect 1 "nothing to verify" "$zibber" replay "$dir/bare" --check

# The form logs had before the running hash and the end line still replays;
# its checkpoints are verified but cannot prove the log whole.
sed -e 's/ chain=0x[0-9a-f]*//' -e '/^end /d' "$log" >"$dir/old"
expect 0 "" "$zibber" replay "$dir/old"
check [ "$(tail -1 "$dir/out")" = "$final" ]
expect 1 "may be cut short" "$zibber" replay "$dir/old" --check
check out "checkpoints match"

# A change that heals before the next checkpoint: the dead zibber's target
# heading differs for one step only, then is put back.
at=$((deathTick + 7))
check [ $(((at + 1) % 100)) -ne 0 -a $((at + 2)) -lt "$endTick" ]
awk -v k="$dead" -v at="$at" '
    function after(tick) {
        if (tick == at) print "action " k " 0 0x1p+0"
        if (tick == at + 1) print "action " k " " kind " " value
    }
    $1 == "action" && $2 == k { kind = $3; value = $4 }
    $1 == "step" { n = NF > 1 ? $2 : 1; for (i = 0; i < n; ++i) { print "step"; after(++tick) } next }
    { print }' "$log" >"$dir/healed"
expect 1 "the state agrees but a step since tick $(((at + 1) / 100 * 100)) differed" "$zibber" replay "$dir/healed" --check

# A mismatch names the part with both values.
line=$(grep -m1 '^check' "$log")
good=$(grep -o 'zibbers=0x[0-9a-f]*' <<<"$line" | cut -d= -f2)
bad=${good%?}$([[ ${good: -1} == 0 ]] && echo 1 || echo 0)
sed "0,/zibbers=$good/s//zibbers=$bad/" "$log" >"$dir/part"
expect 1 "differs in zibbers: expected $bad, got $good" "$zibber" replay "$dir/part" --check
steps=$(tail -1 "$log" | cut -d' ' -f2)
sed "\$s/^end $steps /end $((steps + 1)) /" "$log" >"$dir/steps"
expect 1 "the step count: expected $((steps + 1)), got $steps" "$zibber" replay "$dir/steps" --check

# Write errors: exit 1, one line, and no record left behind.
expect 1 "cannot write standard output" sh -c '"$0" play --quiet >/dev/full' "$zibber"
expect 1 "cannot write standard output" sh -c '"$0" replay "$1" >/dev/full' "$zibber" "$log"
expect 1 "cannot write standard output" sh -c '"$0" --help >/dev/full' "$zibber"
expect 1 "cannot write '$dir/no/such.log'" "$zibber" play --quiet --max-steps 5 --record "$dir/no/such.log"
expect 1 "File too large" sh -c 'trap "" XFSZ; ulimit -f 1; exec "$0" play --quiet --record "$1"' "$zibber" "$dir/big.log"
check [ -z "$(ls "$dir" | grep big.log)" ]
# Only FIFOs of our own: a tool that failed this would replace what it names.
expect 2 "not a regular file" "$zibber" play --quiet --record "$dir/fifo"
check [ -p "$dir/fifo" ]
expect 2 "not a regular file" "$zibber" play --quiet --record "$dir"
# A symlink stays one: the record replaces the file it names.
: >"$dir/target.log"
ln -s "$dir/target.log" "$dir/link.log"
expect 0 "" "$zibber" play --quiet --max-steps 5 --record "$dir/link.log"
check [ -L "$dir/link.log" -a "$(tail -1 "$dir/target.log" | cut -d' ' -f1)" = end ]

echo "cli checks: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
