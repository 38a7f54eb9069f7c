#!/usr/bin/env bash
# dravlin-get.exe under Wine through the proxy the prefix's Windows settings name, as WinHTTP
# resolves them: the user's static proxy (per scheme) with its bypass list, the environment
# outranking it, WinHTTP's machine setting when the user has none, and a configuration script.
# The proxy is squid, started here on loopback; only it resolves the mirror's name, and its log
# tells what went through it. The settings are the prefix's own, so the test runs alone and puts
# them back as it found them (none).
#   usage: dravlin_get_proxy_test.sh WINE_RUN DRAVLIN_GET_EXE SERVER_DIR
set -uo pipefail
wine=$1 get=$2 server=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
proxy=$server/proxy-wine out=$server/out/proxy-wine
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
user_key='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
machine_key='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections'

# settings PROXY BYPASS SCRIPT AUTODETECT MACHINE_PROXY: both forms Windows keeps the user's
# settings in (the values and the binary DefaultConnectionSettings that WinHTTP reads), and
# WinHTTP's machine setting (what netsh winhttp writes). Empty arguments remove a setting.
settings() {
    python3 - "$@" >"$out/settings.reg" <<'PY'
import struct, sys
proxy, bypass, script, detect, machine = sys.argv[1:6]
def counted(text): return struct.pack("<I", len(text)) + text.encode()
def hexed(data): return "hex:" + ",".join("%02x" % b for b in data)
flags = 1 | (2 if proxy else 0) | (4 if script else 0) | (8 if detect == "1" else 0)
user = struct.pack("<III", 0x46, 1, flags) + counted(proxy) + counted(bypass) + counted(script) + bytes(32)
value = lambda name, text: '"%s"="%s"' % (name, text) if text else '"%s"=-' % name
print("REGEDIT4\n")
print(r"[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings]")
print('"ProxyEnable"=dword:%08x' % (1 if proxy else 0))
print(value("ProxyServer", proxy)); print(value("ProxyOverride", bypass)); print(value("AutoConfigURL", script))
print(r"[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections]")
print('"DefaultConnectionSettings"=' + hexed(user) if proxy or script or detect == "1" else '"DefaultConnectionSettings"=-')
print(r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections]")
winhttp = struct.pack("<III", 0x18, 0, 3 if machine else 1) + counted(machine) + counted("<local>" if machine else "")
print('"WinHttpSettings"=' + hexed(winhttp) if machine else '"WinHttpSettings"=-')
PY
    "$wine" regedit /S "$(winpath "$out/settings.reg")"
}

"$here/../../proxy/start.sh" "$proxy" || exit 1
mkdir -p "$out"
trap 'settings "" "" "" 0 ""; "$here/../../proxy/stop.sh" "$proxy"' EXIT
open=127.0.0.1:$(cat "$proxy/open_port")
dead=127.0.0.1:$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
https=$(cat "$server/state/https_port") port=$(cat "$server/state/port")
mkdir -p "$server/root/proxy" && seq 1 200000 >"$server/root/proxy/a.bin" && seq 3 90000 >"$server/root/proxy/b.bin"
fail() { echo "FAIL: $*"; for f in "$out"/*.out "$proxy/access.log"; do echo "--- $f"; cat "$f"; done; exit 1; }
# One run each (--retry 0): a dead proxy is a network failure, which would otherwise be retried.
run() {  # run NAME [VAR=VALUE...] -- ARGS...
    local name=$1 vars=()
    shift
    while [ "$1" != -- ]; do vars+=("$1"); shift; done
    shift
    rm -rf "$out/$name" && mkdir -p "$out/$name"
    env -u http_proxy -u https_proxy -u HTTPS_PROXY -u all_proxy -u ALL_PROXY -u no_proxy -u NO_PROXY \
        "${vars[@]}" "$wine" "$get" --retry 0 --ca-file "$(winpath "$server/state/ca.pem")" "$@" "$(winpath "$out/$name")\\" \
        >"$out/$name.out" 2>&1
}
logged() { grep -c "$1" "$proxy/access.log"; }
same() { cmp -s "$server/root/proxy/$1" "$out/$2/$1"; }
mirror=https://mirror.proxied.test:$https/proxy local=https://localhost:$https/proxy

# The user's static proxy, per scheme, with <local> in its bypass list: the mirror through the
# proxy, localhost (no dot) directly.
settings "http=$dead;https=$open" "<local>" "" 0 ""
run static -- "$mirror/a.bin" "$local/b.bin" || fail "static proxy: exit status $?"
same a.bin static && same b.bin static || fail "static proxy: files differ"
[ "$(logged "CONNECT mirror.proxied.test:$https")" -ge 1 ] || fail "the mirror was not reached through the proxy"
[ "$(logged localhost)" = 0 ] || fail "a bypassed host went through the proxy"

# The environment outranks the system: a dead system proxy does not matter.
settings "$dead" "" "" 0 ""
run dead-system -- "$mirror/a.bin"
[ $? = 3 ] || fail "a dead system proxy did not fail the size query"
run environment https_proxy="http://$open" -- "$mirror/a.bin" || fail "environment: exit status $?"

# No setting of the user's: WinHTTP's machine setting.
before=$(logged "CONNECT mirror.proxied.test")
settings "" "" "" 0 "$open"
run machine -- "$mirror/a.bin" "$local/b.bin" || fail "machine setting: exit status $?"
[ "$(logged "CONNECT mirror.proxied.test")" -gt "$before" ] && [ "$(logged localhost)" = 0 ] \
    || fail "the machine setting was not followed"

# A configuration script, fetched by WinHTTP from the test server: the mirror through the proxy.
printf 'function FindProxyForURL(url, host) {\n  return host == "mirror.proxied.test" ? "PROXY %s" : "DIRECT";\n}\n' "$open" \
    >"$server/root/proxy/proxy.pac"
before=$(logged "CONNECT mirror.proxied.test")
settings "" "" "http://127.0.0.1:$port/proxy/proxy.pac" 0 ""
run script -- "$mirror/a.bin" "$local/b.bin" || fail "configuration script: exit status $?"
[ "$(logged "CONNECT mirror.proxied.test")" -gt "$before" ] && [ "$(logged localhost)" = 0 ] \
    || fail "the configuration script was not followed"
