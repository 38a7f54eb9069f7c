#!/usr/bin/env bash
# Starts a real proxy (Debian's squid) for a test, on loopback only, and waits until it serves.
#   usage: start.sh STATE_DIR
# Leaves STATE_DIR/open_port (anyone may use it), STATE_DIR/auth_port (Basic authentication as
# user "halden", password "proxy-secret"), STATE_DIR/access.log (one line per request it handled:
# "CONNECT host:port" for HTTPS) and STATE_DIR/pid; stop.sh STATE_DIR ends it.
# Only this proxy knows the names in its own hosts file: mirror.proxied.test (the test server on
# 127.0.0.1) and refused.proxied.test (which it refuses with 403). Nothing else resolves them, so
# a download from mirror.proxied.test that works went through the proxy.
set -euo pipefail
state=$(realpath -m "$1")
here=$(cd "$(dirname "$0")" && pwd)
"$here/stop.sh" "$state"
rm -rf "$state" && mkdir -p "$state"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
open_port=$(free_port) auth_port=$(free_port)
printf '127.0.0.1 mirror.proxied.test refused.proxied.test localhost\n' >"$state/hosts"
printf 'halden:%s\n' "$(openssl passwd -apr1 proxy-secret)" >"$state/passwd"
cat >"$state/squid.conf" <<CONF
http_port 127.0.0.1:$open_port name=open
http_port 127.0.0.1:$auth_port name=auth
pid_filename $state/squid.pid
cache_log $state/cache.log
access_log stdio:$state/access.log
cache_store_log none
logfile_rotate 0
netdb_filename none
cache deny all
coredump_dir $state
hosts_file $state/hosts
dns_nameservers 127.0.0.1
shutdown_lifetime 0 seconds
pinger_enable off
via off
forwarded_for delete
auth_param basic program /usr/lib/squid/basic_ncsa_auth $state/passwd
auth_param basic realm halden-test-proxy
acl auth_port myportname auth
acl authenticated proxy_auth REQUIRED
acl refused dstdomain refused.proxied.test
http_access deny refused
http_access deny auth_port !authenticated
http_access allow all
CONF
# squid will not keep root's rights: as root it runs as its own user, which must write here.
[ "$(id -u)" = 0 ] && chown -R proxy "$state"
setsid /usr/sbin/squid -N -f "$state/squid.conf" >"$state/squid.out" 2>&1 </dev/null &
echo $! >"$state/pid"
for _ in $(seq 200); do
    if curl -s -o /dev/null -x "http://127.0.0.1:$open_port" "http://mirror.proxied.test:1/" 2>/dev/null; then
        echo "$open_port" >"$state/open_port"
        echo "$auth_port" >"$state/auth_port"
        exit 0
    fi
    kill -0 "$(cat "$state/pid")" 2>/dev/null || break
    sleep 0.05
done
echo "proxy did not start:" >&2
cat "$state/squid.out" "$state/cache.log" >&2 2>/dev/null
exit 1
