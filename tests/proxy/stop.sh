#!/usr/bin/env bash
# Ends a proxy started by start.sh, if it still runs.
state=$1
if [ -s "$state/pid" ]; then
    pid=$(cat "$state/pid")
    kill "$pid" 2>/dev/null && for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    rm -f "$state/pid"
fi
exit 0
