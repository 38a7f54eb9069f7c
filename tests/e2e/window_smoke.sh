#!/usr/bin/env bash
# Starts Halden.exe under Wine, finds its window, takes a screenshot, checks that the layered window
# blends its shadow over the desktop, closes it with Escape and checks that the program exited.
#   usage: window_smoke.sh BUILD_DIR
set -euo pipefail
build=$1
shots=$build/screenshots
mkdir -p "$shots"
[ -n "${DISPLAY:-}" ] || exec "$(dirname "$0")/../../scripts/with-display.sh" "$0" "$@"

"$build/wine-run" "$build/bin/Halden.exe" &
program=$!
trap 'kill $program 2>/dev/null || true' EXIT

window=
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Ostrel$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "FAIL: no window titled Ostrel"; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"   # X Y WIDTH HEIGHT

pixel() {  # prints "r,g,b" of the screenshot at x,y
    convert "$shots/halden-window.png" -format '%[fx:int(255*u.p{'"$1"','"$2"'}.r)],%[fx:int(255*u.p{'"$1"','"$2"'}.g)],%[fx:int(255*u.p{'"$1"','"$2"'}.b)]' info:
}
# The window paints once it is mapped; wait until its inner face shows rather than guessing a delay.
for _ in $(seq 50); do
    import -window root "$shots/halden-window.png"
    [ "$(pixel $((X + WIDTH / 2)) $((Y + HEIGHT / 2)))" = "244,247,251" ] && break
    sleep 0.1
done
inner=$(pixel $((X + WIDTH / 2)) $((Y + HEIGHT / 2)))
desktop=$(pixel 2 2)
edge=$(pixel "$X" $((Y + HEIGHT / 2)))
echo "inner $inner, left shadow edge $edge, desktop $desktop, screenshot $shots/halden-window.png"
[ "$inner" = "244,247,251" ] || { echo "FAIL: the window's face is not painted"; exit 1; }
if [ "$edge" = "$desktop" ] || [ "$edge" = "0,0,0" ]; then
    echo "FAIL: the shadow edge is not blended over the desktop"; exit 1
fi

xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
xdotool key --window "$window" Escape
for _ in $(seq 150); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then echo "FAIL: Halden.exe did not exit after Escape"; exit 1; fi
wait "$program" && status=0 || status=$?
trap - EXIT
[ "$status" = 0 ] || { echo "FAIL: Halden.exe exited with $status"; exit 1; }
echo "window shown, screenshot taken, closed with Escape, exit status 0"
