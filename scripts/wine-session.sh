#!/usr/bin/env bash
# Makes sure a prefix's Wine session is up: a persistent wineserver, and the prefix's services
# started by a program whose standard handles lead nowhere. Safe to call from several tests at once.
#   usage: wine-session.sh PREFIX      (WINEARCH, WINEDEBUG and the like come from the caller)
#
# Why: Debian's wineserver wrapper starts every server with -p0, so a server that a program started
# shuts down the moment its last program ends. A program that starts during that shutdown waits
# 3 to 7 seconds for a new server, and is exposed to the two ways Wine ends a program without a
# word (tests/e2e/README.md). A persistent server never shuts down by itself. The services inherit the standard handles of the program that starts them
# and keep them open: a caller reading that program's output (ctest) would wait for ever.
set -euo pipefail
. "$(dirname "$0")/fixed-layout.sh"
export WINEPREFIX=$1
. "$(dirname "$0")/wine-services.sh"

persistent_server_running && services_running && exit 0
exec 9>"$WINEPREFIX.lock"
flock 9
# What this starts outlives the script: it must not inherit the lock, or every later caller waits.
started=0
if ! persistent_server_running; then
    wineserver -w 9>&-    # a server that is shutting down finishes first; it would refuse a second one
    status=0
    # The server outlives the caller too: it must not keep the caller's output open either.
    wineserver -p </dev/null >/dev/null 2>&1 9>&- || status=$?
    # The wrapper returns before the server has settled in its folder: look for it for a while.
    for _ in $(seq 50); do
        persistent_server_running && break
        sleep 0.1
    done
    persistent_server_running || { echo "wine-session: no persistent wineserver for $WINEPREFIX (status $status)" >&2; exit 1; }
    started=1
fi
# Services found by the prefix's path may belong to an older server of a prefix made anew at the
# same path: a new server always gets its own.
[ "$started" = 0 ] && services_running || wine cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&- ||
    { echo "wine-session: the services of $WINEPREFIX did not start" >&2; exit 1; }
