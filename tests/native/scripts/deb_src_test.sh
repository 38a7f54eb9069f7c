#!/usr/bin/env bash
# The source entries that the Windows libcurl's build derives, from roots laid out as Debian 12 lays
# them: deb822 (cloud and container images), one-line (the installer, debootstrap), both, neither.
set -uo pipefail
. "$(dirname "$0")/../../../scripts/deb-src.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
check() {  # check WHAT EXPECTED ACTUAL
    if [ "$2" != "$3" ]; then
        printf 'FAIL: %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
        failed=1
    fi
}

# deb822 only: binary stanzas become source stanzas; a source-only stanza is not repeated.
root=$work/deb822
mkdir -p "$root/etc/apt/sources.list.d"
cat >"$root/etc/apt/sources.list.d/debian.sources" <<'X'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main

Types: deb-src
URIs: http://src.example/debian
Suites: bookworm
Components: main
X
write_deb_src "$root"
check "deb822 exit status" 0 "$?"
check "deb822 stanzas" "Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main" "$(cat "$root/etc/apt/sources.list.d/halden-deb-src.sources" 2>&1)"
check "deb822 makes no one-line file" no "$([ -e "$root/etc/apt/sources.list.d/halden-deb-src.list" ] && echo yes || echo no)"

# One-line only, as a minbase root has it (no sources.list.d files at all): options and comments kept apart.
root=$work/oneline
mkdir -p "$root/etc/apt"
cat >"$root/etc/apt/sources.list" <<'X'
# deb http://old.example/debian buster main
deb http://deb.debian.org/debian bookworm main
deb [signed-by=/usr/share/keyrings/k.gpg] http://deb.debian.org/debian-security bookworm-security main
deb-src http://deb.debian.org/debian bookworm main
X
write_deb_src "$root"
check "one-line exit status" 0 "$?"
check "one-line entries" "deb-src http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/k.gpg] http://deb.debian.org/debian-security bookworm-security main" \
    "$(cat "$root/etc/apt/sources.list.d/halden-deb-src.list" 2>&1)"
check "one-line makes no deb822 file" no "$([ -e "$root/etc/apt/sources.list.d/halden-deb-src.sources" ] && echo yes || echo no)"

# Both formats, and a second derivation reads neither of its own files.
root=$work/both
mkdir -p "$root/etc/apt/sources.list.d"
echo 'deb http://a.example/debian bookworm main' >"$root/etc/apt/sources.list"
printf 'Types: deb deb-src\nURIs: http://b.example/debian\nSuites: bookworm\nComponents: main\n' \
    >"$root/etc/apt/sources.list.d/b.sources"
write_deb_src "$root" && write_deb_src "$root"
check "both: one-line" "deb-src http://a.example/debian bookworm main" \
    "$(cat "$root/etc/apt/sources.list.d/halden-deb-src.list" 2>&1)"
check "both: deb822" "Types: deb-src
URIs: http://b.example/debian
Suites: bookworm
Components: main" "$(cat "$root/etc/apt/sources.list.d/halden-deb-src.sources" 2>&1)"

# Nothing to derive from: a failure, and no empty file that would pass for done next time.
root=$work/none
mkdir -p "$root/etc/apt"
write_deb_src "$root"
check "no sources: exit status" 1 "$?"
check "no sources: no files" "" "$(ls -A "$root/etc/apt/sources.list.d" 2>/dev/null)"

[ "$failed" = 0 ] && echo "PASS: source entries derived from deb822 and one-line roots"
exit "$failed"
