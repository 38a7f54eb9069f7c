#!/usr/bin/env bash
# Ends a proxy started by start.sh, if it still runs, with every helper it started: squid leads a
# session of its own (setsid), and what is left of that session after squid is ended as well. The
# id in the file is checked to be squid's first: one that ended may have left its id to another.
state=$1
if [ -s "$state/pid" ]; then
    pid=$(cat "$state/pid")
    if tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | grep -qxF "$state/squid.conf"; then
        kill "$pid" 2>/dev/null && for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
        pkill -KILL -s "$pid" 2>/dev/null
    fi
    rm -f "$state/pid"
fi
exit 0
