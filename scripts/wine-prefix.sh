#!/usr/bin/env bash
# Makes a private Wine prefix once: 64-bit, reporting Windows 10, 宋体 and its kin mapped to an
# installed CJK font, the test doubles that wine-run puts in system32 preferred to Wine's own
# programs (powershell.exe) and opening troubleshooter packages (msdt.exe for .diagcab), no .NET or
# browser add-on prompts. Safe to call from several tests at once.
#   usage: wine-prefix.sh PREFIX
#
# Making a prefix takes Wine half a minute; copying one takes a second. So the first prefix of a
# folder is made once as a template beside it (wineprefix-template, never run afterwards) and every
# prefix of the folder is a copy of it: the tests that need a prefix to themselves get one cheaply.
set -euo pipefail
. "$(dirname "$0")/fixed-layout.sh"
prefix=${1%/}
template=$(dirname "$prefix")/wineprefix-template
ready() { [ -f "$prefix/.halden-ready" ] && [ -f "$prefix/.halden-doubles" ] && [ -f "$prefix/.halden-fonts" ]; }
ready && exit 0

if [ "$prefix" != "$template" ]; then
    "$0" "$template"
    exec 9>"$prefix.lock"
    flock 9
    ready && exit 0
    rm -rf "$prefix" "$prefix.copy"
    cp -a "$template" "$prefix.copy"
    mv "$prefix.copy" "$prefix"
    exit 0
fi
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
ready && exit 0
. "$(dirname "$0")/wine-services.sh"
# The wineserver and services started here outlive this script: they must not inherit the lock,
# or every later caller that needs it waits for ever. Each step starts after the previous step's
# server has gone: a program started while that server shuts down may end without a word, as
# the font mapping's import once did here (tests/e2e/README.md).
settled() { persistent_server_running || command wineserver -w 9>&-; }
wine() { settled; command wine "$@" 9>&-; }
wineboot() { settled; command wineboot "$@" 9>&-; }
winepath() { settled; command winepath "$@" 9>&-; }

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# wineboot wants a display for nothing it shows here; give it none so it never blocks on one.
unset DISPLAY
# Added after the first prefixes were made, so it is also applied to an existing prefix.
register_doubles() {
    wine reg add 'HKCU\Software\Wine\DllOverrides' /v powershell.exe /d native,builtin /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCR\.diagcab' /ve /d msdt.diagcab /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCR\msdt.diagcab\shell\open\command' /ve /d '"C:\windows\system32\msdt.exe" /cab "%1"' /f \
        </dev/null >/dev/null 2>&1
    touch "$prefix/.halden-doubles"
}
# 宋体 at dialog sizes (12 to 16 pixels) is a bitmap font on Windows. The "Sharp" face of Zen Hei
# carries bitmaps too; the plain face is drawn without smoothing at those sizes (its own gasp table)
# and loses strokes.
map_fonts() {
    local reg
    reg=$(mktemp --suffix=.reg)
    # regedit wants UTF-16 with a byte-order mark for non-ASCII names.
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
        for name in 宋体 新宋体 SimSun NSimSun 微软雅黑 "Microsoft YaHei" "MS Shell Dlg" "MS Shell Dlg 2"; do
            printf '"%s"="WenQuanYi Zen Hei Sharp"\r\n' "$name"
        done
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        for name in 宋体 新宋体 SimSun NSimSun 微软雅黑; do
            printf '"%s"="WenQuanYi Zen Hei Sharp"\r\n' "$name"
        done
        printf '\r\n'
    } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
    # Seen without the waits above: the import left no trace and every Chinese text drew as boxes.
    local _
    for _ in 1 2 3; do
        wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
        fonts_mapped && break
    done
    rm -f "$reg"
    fonts_mapped || { echo "wine-prefix: the CJK font mapping did not take in $prefix" >&2; exit 1; }
    touch "$prefix/.halden-fonts"
}
fonts_mapped() {
    wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v SimSun </dev/null 2>/dev/null |
        grep -q 'Zen Hei Sharp'
}
if [ -f "$prefix/.halden-ready" ]; then
    [ -f "$prefix/.halden-doubles" ] || register_doubles
    [ -f "$prefix/.halden-fonts" ] || map_fonts
    # A persistent server (scripts/wine-session.sh) never ends: waiting for it would never return.
    persistent_server_running || wineserver -w
    exit 0
fi
rm -rf "$prefix"
wineboot -i >/dev/null 2>&1
wine winecfg -v win10 >/dev/null 2>&1
map_fonts
wineserver -w
register_doubles
# Nothing of the set-up may outlive it: a server still shutting down would refuse the persistent one.
wineserver -w

touch "$prefix/.halden-ready"
