#!/usr/bin/env bash
# Builds everything and runs every test layer: native (AddressSanitizer and UndefinedBehaviorSanitizer,
# then ThreadSanitizer on the concurrency tests), the engine's install and packages, Windows tests
# under Wine and the end-to-end checks under Xvfb. The 32-bit Windows build is compiled and linked
# only. Ends with "N passed, N failed, N skipped". Whatever the tests started is ended by then: a
# process of this run still alive at the end counts as a failure.
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh || exit 1
# Every process this run starts carries this in its environment, which is how its leftovers are found.
export HALDEN_TEST_RUN=$$-$RANDOM

logs=$PWD/build/test-logs
counts=$logs/counts
mkdir -p "$logs"
: >"$counts"

# Builds run at the lowest priority: the native test layers run beside the next build, and their
# tests, which mostly wait but mind the clock when they do not, come first.
build() {  # build PRESET [TARGET...]; a broken build counts as one failure
    local preset=$1
    shift
    echo "== build $preset"
    if nice -n 19 cmake --preset "$preset" >"$logs/configure-$preset.log" 2>&1 &&
        nice -n 19 cmake --build --preset "$preset" ${1:+--target "$@"} >"$logs/build-$preset.log" 2>&1; then
        return 0
    fi
    tail -40 "$logs/configure-$preset.log" "$logs/build-$preset.log" 2>/dev/null
    echo "0 1 0" >>"$counts"
    return 1
}

# Making the Wine prefix that the test prefixes are copied from mostly waits for Wine: it goes on
# beside the builds.
./scripts/wine-prefix.sh "$PWD/build/win64/wineprefix-template" >"$logs/prefix-template.log" 2>&1 &
template=$!

# layer PRESET [CTEST OPTIONS]: a native test layer, in the background; the one before it is waited
# for first (one layer at a time), and each layer's lines are shown when it is waited for.
layer=
layer() {
    wait_layer
    ./scripts/ctest-layer.sh "$1" "$counts" "$logs/test-$1.log" "${@:2}" >"$logs/layer-$1.out" 2>&1 &
    layer="$! $logs/layer-$1.out"
}
wait_layer() {
    [ -n "$layer" ] || return 0
    wait "${layer%% *}"
    cat "${layer#* }"
    layer=
}

build native && layer native -j4
# The engine alone, optimised, as other programs get it: installed, linked from outside, packaged.
build dravlin && layer dravlin
# ThreadSanitizer runs the engine's tests only: only they are built.
build native-tsan dravlin_native_engine_tests dravlin_native_unit_tests dravlin-get && layer native-tsan -j4
wait "$template" || { cat "$logs/prefix-template.log"; echo "0 1 0" >>"$counts"; }
build win64
win64_built=$?
wait_layer
if [ "$win64_built" = 0 ]; then
    # The 32-bit build, which runs nowhere here, compiles beside the Windows tests, which mostly
    # wait; at the lowest priority, so that it takes only what they leave.
    (renice -n 19 -p "$BASHPID" >/dev/null; build win32) >"$logs/win32-step.log" 2>&1 &
    win32=$!
    export WINEPREFIX=$PWD/build/win64/wineprefix
    ./scripts/wine-prefix.sh "$WINEPREFIX"
    # The unit tests share the build's prefix, its persistent wineserver (scripts/wine-session.sh)
    # and this display, one at a time; each end-to-end test has a prefix and a display of its own
    # for its lane (tests/e2e/CMakeLists.txt). Most of the time Wine tests wait, so four run at once
    # on two cores.
    ./scripts/with-display.sh ./scripts/ctest-layer.sh win64 "$counts" "$logs/test-win64.log" -j4
    for prefix in build/win64/*wineprefix*/; do
        WINEPREFIX=$PWD/${prefix%/} wineserver -k 2>/dev/null && WINEPREFIX=$PWD/${prefix%/} wineserver -w
    done
    unset WINEPREFIX
    wait "$win32"
    cat "$logs/win32-step.log"
else
    build win32
fi

# Processes of this run still alive: named, ended, and counted as one failure. A process whose
# server has just been ended may take a moment to go: what is still there after five seconds is left.
scan='
    for environ in /proc/[0-9]*/environ; do
        grep -qzx "HALDEN_TEST_RUN=$1" "$environ" 2>/dev/null || continue
        pid=${environ#/proc/}; pid=${pid%/environ}
        prefix=$(tr "\0" "\n" <"$environ" 2>/dev/null | sed -n "s/^WINEPREFIX=//p")
        echo "$pid $(tr "\0" " " <"/proc/$pid/cmdline" 2>/dev/null | cut -c1-200)${prefix:+ (WINEPREFIX $prefix)}"
        [ "$2" = end ] && kill -9 "$pid" 2>/dev/null
    done'
deadline=$((SECONDS + 5))
until [ -z "$(env -u HALDEN_TEST_RUN bash -c "$scan" _ "$HALDEN_TEST_RUN" look)" ] || [ "$SECONDS" -ge "$deadline" ]; do
    sleep 0.2
done
left=$(env -u HALDEN_TEST_RUN bash -c "$scan" _ "$HALDEN_TEST_RUN" end)
if [ -n "$left" ]; then
    echo "FAIL: processes of this run were still running at its end (now ended):"
    echo "$left"
    echo "0 1 0" >>"$counts"
fi

# What failed and why, just above the summary, where a reader of only the output's tail sees it.
grep -hE -A2 '^FAIL: |: Failure$' "$logs"/test-*.log 2>/dev/null | cut -c1-400 | head -60

read -r passed failed skipped < <(awk '{p += $1; f += $2; s += $3} END {print p + 0, f + 0, s + 0}' "$counts")
echo
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
