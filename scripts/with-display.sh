#!/usr/bin/env bash
# Runs a command with an X display: the caller's if HALDEN_USE_DISPLAY=1 and DISPLAY is set, else a
# private Xvfb (1280x1024x24) with xcompmgr, so that layered windows blend their alpha for real, and
# jwm, a window manager as on any desktop: without one Wine waits about a second for its answer
# whenever a window is hidden or destroyed. Why jwm: tests/e2e/README.md.
#   usage: with-display.sh COMMAND [ARGS...]
set -euo pipefail
if [ "${HALDEN_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    exec "$@"
fi

# Xvfb picks a free display number itself, so parallel runs never collide.
mkdir -p /tmp/.X11-unix
numberfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
xvfb=$!
# Waits are bounded by the clock, not by a count of tries: with four tests starting displays at
# once on two cores each try takes longer, and once jwm was given up on after 17 s.
deadline=$((SECONDS + 30))
until [ -s "$numberfile" ] || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.05; done
display=$(tr -dc 0-9 <"$numberfile")
rm -f "$numberfile"
[ -n "$display" ] || { echo "Xvfb did not start" >&2; kill "$xvfb" 2>/dev/null; exit 1; }
# Only jobs that still run: the id of one that ended may be another process's by now. The manager
# and the compositor first, as they end by themselves once the display has gone.
cleanup() {
    local pid
    for pid in ${manager:-} ${compositor:-} $xvfb; do
        [[ " $(jobs -pr | tr '\n' ' ') " == *" $pid "* ]] && { kill "$pid" 2>/dev/null || true; }
    done
    wait 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"
deadline=$((SECONDS + 30))
until xdpyinfo >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "display :$display does not answer" >&2; exit 1; }
    sleep 0.05
done
xcompmgr >/dev/null 2>&1 &
compositor=$!
managerlog=$(mktemp)
jwm -f "$(cd "$(dirname "$0")" && pwd)/jwm-rc.xml" >"$managerlog" 2>&1 &
manager=$!
# Windows shown before the manager runs would stay unmanaged: wait until it has taken the screen.
deadline=$((SECONDS + 30))
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    if [ "$SECONDS" -ge "$deadline" ] || ! [[ " $(jobs -pr | tr '\n' ' ') " == *" $manager "* ]]; then
        echo "jwm did not start on :$display: $(head -c 500 "$managerlog")" >&2
        rm -f "$managerlog"
        exit 1
    fi
    sleep 0.05
done
rm -f "$managerlog"
"$@"
