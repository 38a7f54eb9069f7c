#!/usr/bin/env bash
# Starts the test server in the background for a test run and waits until it listens.
#   usage: start.sh STATE_DIR ROOT_DIR [extra server options]
# Leaves STATE_DIR/port and STATE_DIR/pid; stop.sh STATE_DIR ends it.
set -euo pipefail
state=$1 root=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$state" "$root"
"$here/stop.sh" "$state"
rm -f "$state/port"
setsid python3 "$here/test_server.py" --root "$root" --port-file "$state/port" --pid-file "$state/pid" "$@" \
    >"$state/server.log" 2>&1 < /dev/null &
for _ in $(seq 100); do
    [ -s "$state/port" ] && exit 0
    sleep 0.05
done
echo "test server did not start:" >&2
cat "$state/server.log" >&2
exit 1
