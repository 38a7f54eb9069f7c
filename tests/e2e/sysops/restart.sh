#!/usr/bin/env bash
# The forced restart, in a Wine prefix of its own: under Wine a restart ends every program of the
# prefix (and nothing outside it), so it must never run in the prefix the other tests share.
#   usage: restart.sh BUILD_DIR
set -euo pipefail
. "$(dirname "$0")/../../../scripts/fixed-layout.sh"
build=$1
prefix=${HALDEN_WINE_PREFIX:-$build/restart-wineprefix}
"$(dirname "$0")/../../../scripts/wine-prefix.sh" "$prefix"
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true' EXIT

work=$prefix/drive_c/users/Public/restart-test
rm -rf "$work"
mkdir -p "$work"
cp "$build/bin/doubles/powershell.exe" "$work/OfficeClickToRun.exe"
cp "$build/bin/restart_probe.exe" "$work/"

# A program that would otherwise run for two minutes.
wine 'C:\users\Public\restart-test\OfficeClickToRun.exe' </dev/null >/dev/null 2>&1 &
bystander=$!
for _ in $(seq 100); do
    [ -f "$prefix/drive_c/ProgramData/HaldenDoubles/calls.txt" ] && break
    sleep 0.1
done

start=$SECONDS
status=0
timeout 90 wine 'C:\users\Public\restart-test\restart_probe.exe' 'C:\users\Public\restart-test\result.txt' \
    </dev/null >/dev/null 2>&1 || status=$?
elapsed=$((SECONDS - start))
result=$(tr -d '\r\n' <"$work/result.txt" 2>/dev/null || echo none)
bystander_status=0
timeout 30 tail --pid="$bystander" -f /dev/null || bystander_status=$?

echo "probe: status $status after ${elapsed}s, result $result; bystander ended: $([ $bystander_status = 0 ] && echo yes || echo no)"
[ "$result" = requested ] || { echo "FAIL: the restart was not requested"; exit 1; }
[ "$status" != 7 ] && [ "$elapsed" -lt 60 ] || { echo "FAIL: the probe outlived the restart"; exit 1; }
[ "$bystander_status" = 0 ] || { echo "FAIL: another program of the prefix kept running"; exit 1; }
echo "PASS"
