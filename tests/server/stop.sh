#!/usr/bin/env bash
# Ends a test server started by start.sh, if it still runs.
state=$1
if [ -s "$state/pid" ]; then
    kill "$(cat "$state/pid")" 2>/dev/null || true
    rm -f "$state/pid"
fi
exit 0
