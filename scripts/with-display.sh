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
for _ in $(seq 200); do
    [ -s "$numberfile" ] && break
    sleep 0.05
done
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
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
done
xcompmgr >/dev/null 2>&1 &
compositor=$!
jwm -f "$(cd "$(dirname "$0")" && pwd)/jwm-rc.xml" >/dev/null 2>&1 &
manager=$!
# Windows shown before the manager runs would stay unmanaged: wait until it has taken the screen.
for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || { echo "jwm did not start" >&2; exit 1; }
"$@"
