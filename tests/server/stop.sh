#!/usr/bin/env bash
# Ends a test server started by start.sh, if it still runs. The id in the file is checked to be the
# server's first: a server that ended long ago may have left its id to another process.
state=$1
if [ -s "$state/pid" ]; then
    pid=$(cat "$state/pid")
    # Its own command line names this state's pid file: the mirrors of other lanes run the same server.
    if tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | grep -qxF "$state/pid"; then
        kill "$pid" 2>/dev/null && for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    fi
    rm -f "$state/pid"
fi
exit 0
