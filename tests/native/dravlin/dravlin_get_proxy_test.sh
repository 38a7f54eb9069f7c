#!/usr/bin/env bash
# Downloads through a real proxy (squid, started here on loopback), chosen from the environment as
# curl chooses, or with -x and --noproxy: HTTPS through CONNECT and plain HTTP (resumed) to a mirror
# whose name only the proxy resolves, a host in no_proxy reached directly, Basic authentication
# from the proxy's address, and refusals (403, 407, nothing listening) ending as failed size
# queries with nothing saved. The proxy's log tells what went through it.
#   usage: dravlin_get_proxy_test.sh DRAVLIN_GET SERVER_DIR
set -uo pipefail
get=$(realpath "$1") server=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
proxy=$server/proxy-native out=$server/out/proxy-native
"$here/../../proxy/start.sh" "$proxy" || exit 1
trap '"$here/../../proxy/stop.sh" "$proxy"' EXIT
open=http://127.0.0.1:$(cat "$proxy/open_port") auth=127.0.0.1:$(cat "$proxy/auth_port")
dead=http://127.0.0.1:$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
https=$(cat "$server/state/https_port") port=$(cat "$server/state/port")
mkdir -p "$server/root/proxy" && seq 1 200000 >"$server/root/proxy/a.bin" && seq 3 90000 >"$server/root/proxy/b.bin"
rm -rf "$out" && mkdir -p "$out"
fail() { echo "FAIL: $*"; for f in "$out"/*.out "$proxy/access.log"; do echo "--- $f"; cat "$f"; done; exit 1; }
# One run each (--retry 0): a dead proxy is a network failure, which would otherwise be retried.
run() {  # run NAME [VAR=VALUE...] -- ARGS...: dravlin-get in a clean proxy environment
    local name=$1 vars=()
    shift
    while [ "$1" != -- ]; do vars+=("$1"); shift; done
    shift
    env -u http_proxy -u https_proxy -u HTTPS_PROXY -u all_proxy -u ALL_PROXY -u no_proxy -u NO_PROXY \
        "${vars[@]}" "$get" --retry 0 --ca-file "$server/state/ca.pem" "$@" >"$out/$name.out" 2>&1
}
logged() { grep -c "$1" "$proxy/access.log"; }
same() { cmp -s "$server/root/proxy/$1" "$2"; }
mirror=https://mirror.proxied.test:$https/proxy local=https://localhost:$https/proxy

# https_proxy for the mirror through CONNECT, no_proxy for localhost; plain HTTP through
# http_proxy, resumed from a partial file (the proxy passes the range on).
mkdir -p "$out/env/http" && head -c 50000 "$server/root/proxy/a.bin" >"$out/env/http/a.bin"
run env https_proxy="$open" http_proxy="$open" no_proxy=localhost -- \
    "$mirror/a.bin" "$local/b.bin" "$out/env/" || fail "environment: exit status $?"
run env-http http_proxy="$open" -- "http://mirror.proxied.test:$port/proxy/a.bin" "$out/env/http/" || fail "plain HTTP: exit $?"
same a.bin "$out/env/a.bin" && same b.bin "$out/env/b.bin" && same a.bin "$out/env/http/a.bin" || fail "files differ"
[ "$(logged "CONNECT mirror.proxied.test:$https")" -ge 1 ] || fail "the HTTPS download did not go through the proxy"
[ "$(logged "GET http://mirror.proxied.test:$port/proxy/a.bin")" = 1 ] || fail "the resumed HTTP download did not go through the proxy"
[ "$(logged localhost)" = 0 ] || fail "a host in no_proxy went through the proxy"

# Refused by the proxy (403 over HTTPS and plain HTTP), or authentication it wants and does not
# get (407), or no proxy at all: the size query fails, and no error page becomes the file.
run refused https_proxy="$open" http_proxy="$open" -- \
    "https://refused.proxied.test:$https/proxy/a.bin" "http://refused.proxied.test:$port/proxy/b.bin" "$out/refused/"
[ $? = 4 ] && [ "$(grep -c '^ending 201' "$out/refused.out")" = 2 ] || fail "refused: not two failed size queries"
grep -q "403" "$out/refused.out" || fail "refused: the proxy's 403 is not told"
run no-credentials https_proxy="http://$auth" -- "$mirror/a.bin" "$out/refused/"
[ $? = 4 ] && grep -q "407" "$out/no-credentials.out" || fail "407 without credentials did not fail the size query"
run dead https_proxy="$dead" -- "$mirror/a.bin" "$out/refused/"
[ $? = 3 ] || fail "a proxy that is not there did not fail the size query"
[ -z "$(ls -A "$out/refused")" ] || fail "a refusal left a file: $(ls -l "$out/refused")"
[ "$(logged "TCP_DENIED/403 .* CONNECT refused.proxied.test")" -ge 1 ] && [ "$(logged "TCP_DENIED/407")" -ge 1 ] \
    || fail "the proxy did not refuse"

# Basic authentication from the credentials in the proxy's address.
run credentials https_proxy="http://halden:proxy-secret@$auth" -- "$mirror/a.bin" "$out/credentials/" \
    || fail "with credentials: exit status $?"
same a.bin "$out/credentials/a.bin" && [ "$(logged " halden HIER_DIRECT")" -ge 1 ] || fail "not authenticated as halden"

# -x outranks the environment, --noproxy outranks no_proxy, and -x "" goes direct (where the
# mirror's name means nothing).
run option https_proxy="$dead" no_proxy=mirror.proxied.test -- -x "$open" --noproxy localhost \
    "$mirror/a.bin" "$local/b.bin" "$out/option/" || fail "-x: exit status $?"
same a.bin "$out/option/a.bin" && same b.bin "$out/option/b.bin" || fail "-x: files differ"
[ "$(logged localhost)" = 0 ] || fail "--noproxy: localhost went through the proxy"
before=$(logged mirror.proxied.test)
run none https_proxy="$open" -- --proxy= "$mirror/a.bin" "$out/none/"
[ $? = 3 ] && [ "$(logged mirror.proxied.test)" = "$before" ] || fail "-x \"\" still used the proxy"

# A redirect keeps the proxy chosen for the task's address, even to a host no_proxy names
# (last: the proxy's log then names localhost).
run redirect http_proxy="$open" no_proxy=localhost -- \
    "http://mirror.proxied.test:$port/proxy/a.bin?redirect_to=http://localhost:$port/proxy/b.bin" "$out/redirect/b.bin" \
    || fail "redirect: exit status $?"
same b.bin "$out/redirect/b.bin" && [ "$(logged "GET http://localhost:$port/proxy/b.bin")" -ge 1 ] \
    || fail "the redirect left the proxy"

echo "dravlin-get through a proxy: environment, no_proxy, plain HTTP resumed, 403/407/no proxy refused, Basic, -x, --noproxy, a redirect kept on the proxy: all as expected"
