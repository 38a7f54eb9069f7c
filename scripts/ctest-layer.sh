#!/usr/bin/env bash
# Runs one ctest preset, shows each test's line, and appends "PASSED FAILED SKIPPED" for it to
# COUNTS. A layer that ran no test counts as one failure.
#   usage: ctest-layer.sh PRESET COUNTS LOG [ctest options]
set -uo pipefail
preset=$1 counts=$2 log=$3
shift 3
echo "== test $preset"
ctest --preset "$preset" "$@" </dev/null >"$log" 2>&1
grep -E 'Test +#|tests passed|\*\*\*|Timeout' "$log"
line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
if [ -z "$line" ]; then
    tail -20 "$log"
    echo "0 1 0" >>"$counts"
    exit 1
fi
failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
# ctest counts a skipped test as not failed; it is not a pass either.
skipped=$(grep -cE 'Test +#.*\*\*\*Skipped' "$log")
echo "$((total - failed - skipped)) $failed $skipped" >>"$counts"
[ "$failed" = 0 ]
