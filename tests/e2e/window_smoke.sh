#!/usr/bin/env bash
# Starts Halden.exe under Wine from a folder of its own (with a space in its path and a file of the
# user's in it), finds its window, takes a screenshot, checks that the layered window blends its
# shadow over the desktop, that Escape and Enter do not close it, closes it with its close button
# and checks that the program exited and then removed only the files it ships.
#   usage: window_smoke.sh BUILD_DIR
set -euo pipefail
build=$1
shots=$build/screenshots
mkdir -p "$shots"
[ -n "${DISPLAY:-}" ] || exec "$(dirname "$0")/../../scripts/with-display.sh" "$0" "$@"

# The program removes its own files when it is closed: never run the build's copy.
folder="$build/e2e-smoke/Halden Smoke"
rm -rf "$build/e2e-smoke"
mkdir -p "$folder"
cp "$build"/bin/{Halden.exe,Dravlin.dll,libcurl.dll,QuorinFeedbackInformation.dll} "$folder/"
echo cab >"$folder/O15CTRRemove.diagcab"
echo cab >"$folder/cssemerg97275.diagcab"
echo "mine" >"$folder/notes.txt"

"$build/wine-run" "$folder/Halden.exe" &
program=$!
trap 'kill $program 2>/dev/null || true' EXIT

source "$(dirname "$0")/x_window.sh"
window=$(find_window Ostrel) || { echo "FAIL: no window titled Ostrel"; exit 1; }
window_geometry "$window"

pixel() {  # prints "r,g,b" of the screenshot at x,y
    convert "$shots/halden-window.png" -format '%[fx:int(255*u.p{'"$1"','"$2"'}.r)],%[fx:int(255*u.p{'"$1"','"$2"'}.g)],%[fx:int(255*u.p{'"$1"','"$2"'}.b)]' info:
}
# The window paints once it is mapped; wait until its inner face shows rather than guessing a delay.
# (20, 450) of the control layer lies in the light lower part of its artwork.
for _ in $(seq 50); do
    import -window root "$shots/halden-window.png"
    [ "$(pixel $((X + 5 + 20)) $((Y + 4 + 450)))" = "244,247,251" ] && break
    sleep 0.1
done
inner=$(pixel $((X + 5 + 20)) $((Y + 4 + 450)))
desktop=$(pixel 2 2)
edge=$(pixel "$X" $((Y + HEIGHT / 2)))
echo "inner $inner, left shadow edge $edge, desktop $desktop, screenshot $shots/halden-window.png"
[ "$inner" = "244,247,251" ] || { echo "FAIL: the window's face is not painted"; exit 1; }
if [ "$edge" = "$desktop" ] || [ "$edge" = "0,0,0" ]; then
    echo "FAIL: the shadow edge is not blended over the desktop"; exit 1
fi

# Keys as a user presses them, to the active window (with --window, xdotool would send a key that
# closed the window its release too: BadWindow).
timeout 10 xdotool windowactivate --sync "$window" || { echo "FAIL: the window could not be activated"; exit 1; }
xdotool key Escape Return
sleep 1
kill -0 "$program" 2>/dev/null || { echo "FAIL: Escape or Enter closed the window"; exit 1; }

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
[ -n "$feedback" ] || { echo "FAIL: no feedback question after the close button"; exit 1; }
sleep 0.5  # its layer paints and takes input
xdotool mousemove $((F_X + 5 + 400 - 12)) $((F_Y + 4 + 12)) click 1
for _ in $(seq 150); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then echo "FAIL: Halden.exe did not exit after its close button"; exit 1; fi
wait "$program" && status=0 || status=$?
trap - EXIT
[ "$status" = 0 ] || { echo "FAIL: Halden.exe exited with $status"; exit 1; }

# The removal waits three seconds after the program ended, then takes only what the program ships.
for _ in $(seq 100); do
    [ -e "$folder/Halden.exe" ] || break
    sleep 0.1
done
# What stays: the user's file, and the record the stand-in feedback library keeps beside itself.
left=$(cd "$folder" && LC_ALL=C ls | tr '\n' ' ')
[ "$left" = "QuorinFeedbackRecord.txt notes.txt " ] || { echo "FAIL: after the removal the folder holds: $left"; exit 1; }
echo "window shown, screenshot taken, Escape and Enter ignored, closed with its button and the feedback question's, exit status 0, only the shipped files removed"
