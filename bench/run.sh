#!/usr/bin/env bash
# Dravlin's benchmark, native and optimised. Prints figures; passes or fails nothing.
#  1. A 1 GiB download over loopback from one nginx (Debian's) by dravlin-get and by the command
#     lines of curl, wget2 and aria2c (Debian's; installed here when missing), one connection each,
#     alternating, ROUNDS rounds (default 5): each one's wall time and CPU time (user + system, of the
#     process and its children, start-up included) and dravlin-get's ratios to each.
#  2. CancelDownload to the 302 ending, and the longest export block while tasks finish, against
#     the test server.
#   usage: bench/run.sh [BUILD_DIR]     (default build/native-release; configured and built if needed)
#   BASELINE_GET=PATH adds another dravlin-get (an older build, say) as the client "baseline".
set -euo pipefail
missing=()
for tool in nginx:nginx-light curl:curl wget2:wget2 aria2c:aria2; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
    echo "bench: installing ${missing[*]}" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/native-release}")
rounds=${ROUNDS:-5}
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

# measure NAME COMMAND...: prints "NAME wall cpu" (seconds) of one run of COMMAND, its own
# start-up included, as a user would wait for it
measure() {
    python3 - "$@" <<'PY'
import resource, subprocess, sys, time
name, cmd = sys.argv[1], sys.argv[2:]
before = resource.getrusage(resource.RUSAGE_CHILDREN)
start = time.monotonic()
subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
wall = time.monotonic() - start
after = resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
print(f"{name} {wall:.3f} {cpu:.3f}")
PY
}

url="http://127.0.0.1:$port/1g.bin"
out=$work/out/1g.bin
# nginx's first read of the file fills the page cache, in nginx's time: that wait is no client's.
curl -s -o /dev/null "$url"
# The command line of each client, one connection each, writing the whole file to $out. aria2c
# would otherwise split the file over five connections and first fill it with zeros.
client_command() {
    case $1 in
    dravlin-get) command=("$build/bin/dravlin-get" "$url" "$out") ;;
    baseline) command=("$BASELINE_GET" "$url" "$out") ;;
    curl) command=(curl -s -o "$out" "$url") ;;
    wget2) command=(wget2 -q --no-config --no-hsts --max-threads=1 -O "$out" "$url") ;;
    aria2c) command=(aria2c -q --no-conf -x1 -s1 --file-allocation=none --allow-overwrite=true
                     --auto-save-interval=0 -d "$(dirname "$out")" -o "$(basename "$out")" "$url") ;;
    esac
}
clients=(dravlin-get curl wget2 aria2c)
[ -z "${BASELINE_GET:-}" ] || clients+=(baseline)
results=$work/results
: >"$results"
echo "== 1 GiB over loopback from nginx, $rounds rounds, each client once a round in a rotating order"
for round in $(seq "$rounds"); do
    # The order turns every round, so that no client always follows the same one.
    for i in "${!clients[@]}"; do
        name=${clients[$(( (i + round - 1) % ${#clients[@]} ))]}
        rm -f "$out" "$out.aria2"
        client_command "$name"
        measure "$name" "${command[@]}" | sed "s/^/round $round /" | tee -a "$results"
        cmp -s "$out" "$work/root/1g.bin" || echo "  $name's file differs!"
    done
    rm -f "$out" "$out.aria2"
done
python3 - "$results" "${clients[@]}" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
clients = sys.argv[2:]
def series(name, column):
    return [float(r[column]) for r in rows if r[2] == name]
print()
for label, column in (("wall", 3), ("cpu", 4)):
    for name in clients:
        s = series(name, column)
        print(f"{label:4} {name:12} median {statistics.median(s):.3f} s  (min {min(s):.3f}, max {max(s):.3f})")
def per_round(peer, column):
    # Ratios within a round, so that a round slowed by a neighbour's build counts against both alike.
    mine = {r[1]: float(r[column]) for r in rows if r[2] == "dravlin-get"}
    theirs = {r[1]: float(r[column]) for r in rows if r[2] == peer}
    return [theirs[k] / mine[k] if column == 3 else mine[k] / theirs[k] for k in mine if k in theirs]
print()
peers = [name for name in clients if name != "dravlin-get"]
for peer in peers:
    wall, cpu = per_round(peer, 3), per_round(peer, 4)
    print(f"dravlin-get against {peer:6}: throughput ratio ({peer}'s wall / dravlin-get's) median {statistics.median(wall):.3f}"
          f" ({min(wall):.2f}-{max(wall):.2f}), CPU ratio (dravlin-get's / {peer}'s) median {statistics.median(cpu):.3f}"
          f" ({min(cpu):.2f}-{max(cpu):.2f})")
fastest = min(peers, key=lambda name: statistics.median(series(name, 3)))
leanest = min(peers, key=lambda name: statistics.median(series(name, 4)))
print(f"fastest peer: {fastest}; least CPU: {leanest}   (goals: throughput ratio >= 1.0, CPU ratio <= 1.0)")
PY

echo "== latency, against the test server"
"$root/tests/server/start.sh" "$server_state" "$work/root" >/dev/null
"$build/bin/dravlin_latency_bench" "http://127.0.0.1:$(cat "$server_state/port")" "$work/root" "$work/out"
echo "(goals: cancel to 302 < 100 ms; export block < 50 ms)"
