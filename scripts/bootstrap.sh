#!/usr/bin/env bash
# Sets up this machine for building and testing, idempotently: Debian packages, then libcurl for
# Windows (built once and cached). A second run on a set-up machine takes a few seconds.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(
    build-essential cmake ninja-build pkg-config git python3 ca-certificates
    googletest libgtest-dev libcurl4-openssl-dev libcpp-httplib-dev curl openssl nginx-light
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 xvfb xcompmgr jwm xdotool x11-utils imagemagick fonts-wqy-zenhei dpkg-dev locales osslsigncode squid
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
if [ ${#missing[@]} -gt 0 ]; then
    echo "bootstrap: installing ${missing[*]}" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Some Windows tests run again with Wine in a Chinese locale, whose system code page is 936.
locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' || $sudo localedef -i zh_CN -f UTF-8 zh_CN.UTF-8

"$here/build-win-curl.sh" x86_64 i686
