#!/usr/bin/env bash
# Starts Halden.exe under Wine from a folder of its own (with a space in its path and a file of the
# user's in it), finds its window, takes a screenshot, checks that the layered window blends its
# shadow over the desktop, that Escape and Enter do not close it, closes it with its close button
# and checks that the program exited and then removed only the files it ships.
#   usage: window_smoke.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/lib.sh"
shots=$build/screenshots
mkdir -p "$shots"

# The program removes its own files when it is closed: never run the build's copy.
folder="$build/e2e-smoke/Halden Smoke"
rm -rf "$build/e2e-smoke"
mkdir -p "$folder"
cp "$build"/bin/{Halden.exe,Dravlin.dll,libcurl.dll,QuorinFeedbackInformation.dll} "$folder/"
echo cab >"$folder/O15CTRRemove.diagcab"
echo cab >"$folder/cssemerg97275.diagcab"
echo "mine" >"$folder/notes.txt"

# wine-run's prefix, named here too so that the session can be ended at the end.
export HALDEN_WINE_PREFIX=${HALDEN_WINE_PREFIX:-$build/wineprefix}
export WINEPREFIX=$HALDEN_WINE_PREFIX
"$build/wine-run" "$folder/Halden.exe" &
program=$!
trap 'end_job $program; end_wine_session' EXIT

window=$(find_window Ostrel) || { fail "no window titled Ostrel"; finish; }
window_geometry "$window"
# The window paints once it is mapped; wait until its inner face shows rather than guessing a delay.
# (20, 450) of the control layer lies in the light lower part of its artwork.
shot_when halden-window $((X + 5 + 20)) $((Y + 4 + 450)) "244 247 251" 0
[ "$failures" = 0 ] || finish
# The background, a window of its own, may paint its shadow after the layer has painted its face.
blended() {
    shot halden-window
    desktop=$(pixel halden-window 2 2)
    edge=$(pixel halden-window "$X" $((Y + HEIGHT / 2)))
    [ "$edge" != "$desktop" ] && [ "$edge" != "0 0 0" ]
}
if poll 5 blended; then ok "the shadow edge ($edge) is blended over the desktop ($desktop)"; else
    fail "the shadow edge is not blended over the desktop: $edge, desktop $desktop"
fi

# Keys as a user presses them, to the active window (with --window, xdotool would send a key that
# closed the window its release too: BadWindow).
timeout 10 xdotool windowactivate --sync "$window" || { fail "the window could not be activated"; finish; }
xdotool key Escape Return
sleep 1
job_running "$program" || { fail "Escape or Enter closed the window"; finish; }

# The close button: 26 x 34 at the top right of the control layer, which sits 5, 4 inside.
xdotool mousemove $((X + 5 + 368 + 13)) $((Y + 4 + 17)) click 1
# First the feedback question, a pair of its own (410 x 479, also titled Ostrel): its close button
# (12 x 12, 18 from the layer's right edge and 6 below its top) answers it and lets the close go on.
feedback=
for _ in $(seq 100); do
    for candidate in $(xdotool search --onlyvisible --name '^Ostrel$' 2>/dev/null); do
        window_geometry "$candidate" F_
        [ "$F_WIDTH" = 410 ] && [ "$F_HEIGHT" = 479 ] && feedback=$candidate && break 2
    done
    sleep 0.1
done
[ -n "$feedback" ] || { fail "no feedback question after the close button"; finish; }
sleep 0.5  # its layer paints and takes input
xdotool mousemove $((F_X + 5 + 400 - 12)) $((F_Y + 4 + 12)) click 1
for _ in $(seq 150); do
    job_running "$program" || break
    sleep 0.1
done
if job_running "$program"; then fail "Halden.exe did not exit after its close button"; finish; fi
wait "$program" && status=0 || status=$?
trap end_wine_session EXIT
expect "exit status" "$status" 0

# The removal waits three seconds after the program ended, then takes only what the program ships.
for _ in $(seq 100); do
    [ -e "$folder/Halden.exe" ] || break
    sleep 0.1
done
# What stays: the user's file, and the record the stand-in feedback library keeps beside itself.
left=$(cd "$folder" && LC_ALL=C ls | tr '\n' ' ')
expect "what the folder holds after the removal" "$left" "QuorinFeedbackRecord.txt notes.txt "
finish
