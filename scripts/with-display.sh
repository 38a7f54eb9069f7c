#!/usr/bin/env bash
# Runs a command with an X display: the caller's if HALDEN_USE_DISPLAY=1 and DISPLAY is set, else a
# private Xvfb (1280x1024x24) with xcompmgr, so that layered windows blend their alpha for real.
#   usage: with-display.sh COMMAND [ARGS...]
set -euo pipefail
if [ "${HALDEN_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    exec "$@"
fi

display=
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }

Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    [ -n "${compositor:-}" ] && kill "$compositor" 2>/dev/null
    kill "$xvfb" 2>/dev/null
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
"$@"
