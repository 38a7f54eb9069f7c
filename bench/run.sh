#!/usr/bin/env bash
# Dravlin's benchmark, native and optimised. Prints figures; passes or fails nothing.
#  1. A 1 GiB download over loopback from one nginx (Debian's) by dravlin-get and by the curl
#     command line, alternating, ROUNDS times each (default 3): wall and CPU time, and their ratios.
#  2. CancelDownload to the 302 ending, and the longest export block while tasks finish, against
#     the test server.
#   usage: bench/run.sh [BUILD_DIR]     (default build/native-release; configured and built if needed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/native-release}")
rounds=${ROUNDS:-3}
if [ ! -f "$build/build.ninja" ]; then
    cmake --preset native-release -B "$build" >/dev/null
fi
cmake --build "$build" --target dravlin-get dravlin_latency_bench -j2 >/dev/null

work=$build/bench-work
rm -rf "$work" && mkdir -p "$work/root" "$work/out" "$work/nginx"
truncate -s 1G "$work/root/1g.bin"  # sparse: served from memory, so the clients are what is measured
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
user root;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
    access_log off;
    sendfile on;
    client_body_temp_path $work/nginx/tmp;
    proxy_temp_path $work/nginx/tmp;
    fastcgi_temp_path $work/nginx/tmp;
    uwsgi_temp_path $work/nginx/tmp;
    scgi_temp_path $work/nginx/tmp;
    server { listen 127.0.0.1:$port; root $work/root; }
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
nginx_pid=$!
server_state=$work/test-server/state
cleanup() {
    kill "$nginx_pid" 2>/dev/null || true
    "$root/tests/server/stop.sh" "$server_state"
    rm -rf "$work/out" "$work/root"
}
trap cleanup EXIT
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done
curl -sf -o /dev/null -r 0-0 "http://127.0.0.1:$port/1g.bin" || { echo "nginx did not start" >&2; exit 1; }

# measure NAME COMMAND...: prints "NAME wall cpu" (seconds) of one run of COMMAND
measure() {
    python3 - "$@" <<'PY'
import resource, subprocess, sys, time
name, cmd = sys.argv[1], sys.argv[2:]
before = resource.getrusage(resource.RUSAGE_CHILDREN)
start = time.monotonic()
subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
wall = time.monotonic() - start
after = resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
print(f"{name} {wall:.3f} {cpu:.3f}")
PY
}

url="http://127.0.0.1:$port/1g.bin"
results=$work/results
: >"$results"
echo "== 1 GiB over loopback from nginx, $rounds rounds each, alternating"
for round in $(seq "$rounds"); do
    rm -f "$work/out/1g.bin"
    measure dravlin-get "$build/bin/dravlin-get" "$url" "$work/out/1g.bin" | tee -a "$results"
    cmp -s -n 1073741824 "$work/out/1g.bin" "$work/root/1g.bin" || echo "  dravlin-get file differs!"
    rm -f "$work/out/1g.bin"
    measure curl curl -s -o "$work/out/1g.bin" "$url" | tee -a "$results"
    rm -f "$work/out/1g.bin"
done
python3 - "$results" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
def series(name, column):
    return [float(r[column]) for r in rows if r[0] == name]
for label, column in (("wall", 1), ("cpu", 2)):
    d, c = series("dravlin-get", column), series("curl", column)
    print(f"{label:4}  dravlin-get median {statistics.median(d):.3f} s (min {min(d):.3f}, max {max(d):.3f})"
          f"   curl median {statistics.median(c):.3f} s (min {min(c):.3f}, max {max(c):.3f})")
dw, cw = statistics.median(series("dravlin-get", 1)), statistics.median(series("curl", 1))
dc, cc = statistics.median(series("dravlin-get", 2)), statistics.median(series("curl", 2))
print(f"throughput ratio dravlin-get/curl (curl wall / dravlin-get wall): {cw / dw:.3f}   (goal >= 1.0)")
print(f"CPU ratio dravlin-get/curl: {dc / cc:.3f}   (lower is better)")
PY

echo "== latency, against the test server"
"$root/tests/server/start.sh" "$server_state" "$work/root" >/dev/null
"$build/bin/dravlin_latency_bench" "http://127.0.0.1:$(cat "$server_state/port")" "$work/root" "$work/out"
echo "(goals: cancel to 302 < 100 ms; export block < 50 ms)"
