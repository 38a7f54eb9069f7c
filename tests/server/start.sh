#!/usr/bin/env bash
# Starts the test server in the background for a test run and waits until it listens.
#   usage: start.sh STATE_DIR ROOT_DIR [extra server options]
# Leaves STATE_DIR/port (HTTP), STATE_DIR/https_port (HTTPS with a certificate for "localhost" from
# the test authority STATE_DIR/ca.pem; it also names mirror.proxied.test, which only the test proxy
# resolves), STATE_DIR/rogue_port (HTTPS, certificate from an authority
# nobody trusts) and STATE_DIR/pid; stop.sh STATE_DIR ends it. The authorities are made afresh here.
set -euo pipefail
state=$1 root=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$state" "$root"
"$here/stop.sh" "$state"
rm -f "$state/port" "$state/https_port" "$state/rogue_port"

# make_authority NAME: NAME-ca.pem and a "localhost" certificate NAME.pem/NAME.key signed by it.
make_authority() {
    local name=$1 dir=$state/tls
    mkdir -p "$dir"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Halden $name test authority" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -keyout "$dir/$name-ca.key" -out "$dir/$name-ca.pem" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
        -keyout "$dir/$name.key" -out "$dir/$name.csr" 2>/dev/null
    printf 'subjectAltName=DNS:localhost,DNS:mirror.proxied.test\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' >"$dir/$name.ext"
    openssl x509 -req -days 2 -in "$dir/$name.csr" -CA "$dir/$name-ca.pem" -CAkey "$dir/$name-ca.key" \
        -CAcreateserial -extfile "$dir/$name.ext" -out "$dir/$name.pem" 2>/dev/null
}
make_authority trusted
make_authority rogue
cp "$state/tls/trusted-ca.pem" "$state/ca.pem"

setsid python3 "$here/test_server.py" --root "$root" --port-file "$state/port" --pid-file "$state/pid" \
    --cert "$state/tls/trusted.pem" --key "$state/tls/trusted.key" --https-port-file "$state/https_port" \
    --rogue-cert "$state/tls/rogue.pem" --rogue-key "$state/tls/rogue.key" --rogue-port-file "$state/rogue_port" \
    "$@" >"$state/server.log" 2>&1 < /dev/null &
for _ in $(seq 200); do
    [ -s "$state/port" ] && exit 0
    sleep 0.05
done
echo "test server did not start:" >&2
cat "$state/server.log" >&2
exit 1
