#!/usr/bin/env bash
# dravlin-get downloads, is cancelled by Ctrl-C keeping the partial file, resumes, and says how
# each run ended by its exit status.
#   usage: dravlin_get_test.sh DRAVLIN_GET SERVER_DIR
set -uo pipefail
get=$1 server=$2
port=$(cat "$server/state/port")
out=$server/out/dravlin-get
rm -rf "$out" && mkdir -p "$out"
seq 1 500000 >"$server/root/get.bin"   # about 3.4 MB, the same every run
url="http://127.0.0.1:$port/get.bin"
fail() { echo "FAIL: $*"; for f in "$out"/*.log; do echo "--- $f"; cat "$f"; done; exit 1; }

"$get" "$url?throttle=600000" "$out/" >"$out/cancel.log" 2>&1 &
pid=$!
for _ in $(seq 600); do
    grep -qE ' [1-9][0-9]?%' "$out/cancel.log" && break
    sleep 0.05
done
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" = 5 ] || fail "cancel exit status $status, expected 5"
grep -q '^ending 302' "$out/cancel.log" || fail "no 302 after Ctrl-C"
partial=$(stat -c %s "$out/get.bin")
full=$(stat -c %s "$server/root/get.bin")
[ "$partial" -gt 0 ] && [ "$partial" -lt "$full" ] || fail "partial file of $partial bytes"

"$get" "$url" "$out/" >"$out/resume.log" 2>&1 || fail "resume exit status $?"
grep -q '^ending 303' "$out/resume.log" || fail "resume did not finish"
cmp -s "$out/get.bin" "$server/root/get.bin" || fail "resumed file differs"

"$get" "$url" "$out/" >"$out/again.log" 2>&1 || fail "complete file exit status $?"
grep -q '^ending 301' "$out/again.log" || fail "complete file not recognised"

"$get" "http://127.0.0.1:$port/missing.bin" "$out/" >"$out/missing.log" 2>&1
status=$?
[ "$status" = 1 ] || fail "missing file exit status $status, expected 1"

"$get" >"$out/usage.log" 2>&1
[ $? = 64 ] || fail "usage exit status"
echo "dravlin-get: cancel ($partial of $full bytes), resume, complete and missing all as expected"
