#!/usr/bin/env bash
# Runs the Windows layer (unit tests under Wine and the end-to-end scenarios) ROUNDS times with two
# CPU hogs beside it, as a busy PC or a shared CI machine would, and prints every failure with its
# log. Not part of the test command: it looks for faults that only load shows.
#   usage: soak.sh [ROUNDS]       (default 5; builds the win64 tree first, as the test command does)
# Logs: build/soak/round-N.log, one ctest log per round.
set -uo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
./scripts/bootstrap.sh || exit 1
export HALDEN_TEST_RUN=soak-$$-$RANDOM
logs=$PWD/build/soak
mkdir -p "$logs"
nice -n 19 cmake --preset win64 >"$logs/configure.log" 2>&1 && nice -n 19 cmake --build --preset win64 >"$logs/build.log" 2>&1 ||
    { tail -40 "$logs/configure.log" "$logs/build.log"; exit 1; }
./scripts/wine-prefix.sh "$PWD/build/win64/wineprefix-template" >"$logs/prefix.log" 2>&1 || { cat "$logs/prefix.log"; exit 1; }
export WINEPREFIX=$PWD/build/win64/wineprefix
./scripts/wine-prefix.sh "$WINEPREFIX" >>"$logs/prefix.log" 2>&1 || { cat "$logs/prefix.log"; exit 1; }

hogs=()
end_hogs() {
    local pid
    for pid in "${hogs[@]}"; do kill "$pid" 2>/dev/null; done
    wait "${hogs[@]}" 2>/dev/null
    hogs=()
}
trap end_hogs EXIT

failed_rounds=0
for round in $(seq "$rounds"); do
    # Two busy loops at the tests' own priority: two cores, as CI has, each wanted twice.
    for _ in 1 2; do
        bash -c 'while :; do :; done' &
        hogs+=($!)
    done
    counts=$(mktemp)
    start=$SECONDS
    ./scripts/with-display.sh ./scripts/ctest-layer.sh win64 "$counts" "$logs/round-$round.log" -j4 --output-on-failure \
        >"$logs/round-$round.out" 2>&1
    end_hogs
    for prefix in build/win64/*wineprefix*/; do
        WINEPREFIX=$PWD/${prefix%/} wineserver -k 2>/dev/null && WINEPREFIX=$PWD/${prefix%/} wineserver -w
    done
    read -r passed failed skipped <"$counts"
    rm -f "$counts"
    echo "round $round: $passed passed, $failed failed, $skipped skipped in $((SECONDS - start)) s"
    if [ "${failed:-1}" != 0 ]; then
        failed_rounds=$((failed_rounds + 1))
        # Each failed test's own output, as ctest kept it.
        grep -E '^ *[0-9]+/[0-9]+ Test +#.*(\*\*\*|Failed)' "$logs/round-$round.log"
        awk '/^ *[0-9]+\/[0-9]+ Test +#/ { show = ($0 ~ /\*\*\*|Failed/) } show' "$logs/round-$round.log" | cut -c1-400 | tail -200
    fi
done
echo "soak: $((rounds - failed_rounds)) of $rounds rounds passed"
[ "$failed_rounds" = 0 ]
