#!/usr/bin/env bash
# Downloaders on a bad link. Prints a table; passes or fails nothing.
# One file of random bytes from nginx (Debian's) on loopback, behind tests/server/link_proxy.py,
# fetched by dravlin-get and by the command lines of wget, wget2, aria2c and curl (Debian's;
# installed here when missing), each as people run them, with its own default retries:
#   cut    every connection is reset after CUT_MIB MiB (default 8)
#   slow   RTT_MS ms of round trip (default 100) and RATE_KIB KiB/s for all (default 8192)
# For each: whether the file came whole (compared byte for byte), the wall time, the bytes the
# link carried to the client over the file's size, and the exit status. A client is stopped after
# LIMIT_S seconds (default 300).
#   usage: bench/bad_link.sh [BUILD_DIR]   (default build/native-release; configured and built if
#                                           needed; SIZE_MIB=N sets the file's size, default 128)
set -euo pipefail
missing=()
for tool in nginx:nginx-light curl:curl wget:wget wget2:wget2 aria2c:aria2; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
    echo "bench: installing ${missing[*]}" >&2
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
        --no-install-recommends "${missing[@]}" >/dev/null
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/native-release}")
size_mib=${SIZE_MIB:-128}
cut_mib=${CUT_MIB:-8}
rtt_ms=${RTT_MS:-100}
rate_kib=${RATE_KIB:-8192}
limit_s=${LIMIT_S:-300}
if [ ! -f "$build/build.ninja" ]; then
    cmake --preset native-release -B "$build" >/dev/null
fi
cmake --build "$build" --target dravlin-get -j2 >/dev/null

work=$build/bad-link-work
rm -rf "$work" && mkdir -p "$work/root" "$work/out" "$work/nginx"
# Random bytes, not a sparse file: a resume at the wrong offset must show in the comparison.
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/root/image.bin"
size=$(stat -c %s "$work/root/image.bin")
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
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
proxy_pid=
cleanup() {
    [ -z "$proxy_pid" ] || kill "$proxy_pid" 2>/dev/null || true
    kill "$nginx_pid" 2>/dev/null || true
    rm -rf "$work/out" "$work/root"
}
trap cleanup EXIT
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done
curl -sf -o /dev/null -r 0-0 "http://127.0.0.1:$port/image.bin" || { echo "nginx did not start" >&2; exit 1; }

# start_link ARGS...: the proxy in front of nginx with these link options; sets proxy_pid and url.
start_link() {
    [ -z "$proxy_pid" ] || { kill "$proxy_pid" 2>/dev/null || true; wait "$proxy_pid" 2>/dev/null || true; }
    rm -f "$work/link.port"
    python3 "$root/tests/server/link_proxy.py" --target "$port" --port-file "$work/link.port" \
        --count-file "$work/link.count" --time-limit 7200 "$@" 2>>"$work/link.log" &
    proxy_pid=$!
    for _ in $(seq 200); do [ -s "$work/link.port" ] && break; sleep 0.05; done
    [ -s "$work/link.port" ] || { echo "the link proxy did not start" >&2; exit 1; }
    url="http://127.0.0.1:$(cat "$work/link.port")/image.bin"
}
link_bytes() { tr -d ' \n' <"$work/link.count"; }

# The command line of each client, one connection each, into $dir/image.bin, with its own
# defaults for retries: that is what a person gets.
client_command() {
    local dir=$1
    case $2 in
    dravlin-get) command=("$build/bin/dravlin-get" "$url" "$dir/image.bin") ;;
    wget) command=(wget -q --no-config --no-hsts -P "$dir" "$url") ;;
    wget2) command=(wget2 -q --no-config --no-hsts --max-threads=1 -P "$dir" "$url") ;;
    aria2c) command=(aria2c -q --no-conf -x1 -s1 --file-allocation=none --auto-save-interval=0
                     -d "$dir" -o image.bin "$url") ;;
    curl-retry) command=(curl -s --retry 20 -C - -o "$dir/image.bin" "$url") ;;
    curl-retry-all) command=(curl -s --retry 20 --retry-all-errors -C - -o "$dir/image.bin" "$url") ;;
    esac
}
clients=(dravlin-get wget wget2 aria2c curl-retry curl-retry-all)

table=$work/table
printf '%-34s %-15s %-9s %9s %10s %5s\n' link client complete "time s" "sent/size" exit >"$table"
run_case() {
    local label=$1 name dir before after start end status complete
    for name in "${clients[@]}"; do
        dir=$work/out/$name
        rm -rf "$dir" && mkdir -p "$dir"
        client_command "$dir" "$name"
        before=$(link_bytes)
        start=$(date +%s.%N)
        status=0
        (cd "$dir" && timeout "$limit_s" "${command[@]}" >/dev/null 2>"$work/$name.err") || status=$?
        end=$(date +%s.%N)
        after=$(link_bytes)
        complete=no
        cmp -s "$dir/image.bin" "$work/root/image.bin" && complete=yes
        awk -v label="$label" -v name="$name" -v complete="$complete" -v status="$status" \
            -v seconds="$(awk "BEGIN { print $end - $start }")" -v sent="$((after - before))" -v size="$size" \
            'BEGIN { printf "%-34s %-15s %-9s %9.1f %10.3f %5s\n", label, name, complete, seconds, sent / size, status }' |
            tee -a "$table"
        rm -rf "$dir"
    done
}

echo "== $size_mib MiB from nginx on loopback through the link proxy; each client once per link"
start_link --cut-after-mib "$cut_mib"
run_case "cut every $cut_mib MiB"
start_link --rtt-ms "$rtt_ms" --rate-kib "$rate_kib"
run_case "${rtt_ms} ms RTT, ${rate_kib} KiB/s"
echo
cat "$table"
echo "(sent/size: bytes the link carried to the client, headers included, over the file's size;"
echo " exit 124: stopped after $limit_s s)"
