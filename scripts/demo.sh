#!/usr/bin/env bash
# The main job: sets everything up, builds the 64-bit Windows program and runs it under Wine in a
# sandbox prefix (build/demo/wineprefix, never ~/.wine). With a display (DISPLAY set) it shows the
# window there until you close it; without one it runs under Xvfb and saves screenshots to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 >/dev/null

demo=$PWD/build/demo
export WINEPREFIX=$demo/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
./scripts/wine-prefix.sh "$WINEPREFIX"
trap 'wineserver -k 2>/dev/null || true' EXIT

if [ -n "${DISPLAY:-}" ]; then
    echo "Halden is running on $DISPLAY; close its window (Esc) to end."
    wine "$PWD/dist/win64/Halden.exe"
    exit 0
fi

run_headless() {
    wine "$PWD/dist/win64/Halden.exe" </dev/null >/dev/null 2>&1 &
    local program=$! window=
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --name '^Ostrel$' 2>/dev/null | head -1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "Halden's window did not appear" >&2; kill $program; return 1; }
    sleep 1  # let it paint before the picture is taken
    import -window root "$demo/halden.png"
    xdotool key --window "$window" Escape
    wait $program
    echo "screenshot: $demo/halden.png"
}
mkdir -p "$demo"
export demo
export -f run_headless
./scripts/with-display.sh bash -c run_headless
