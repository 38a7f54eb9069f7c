#!/usr/bin/env bash
# Builds libcurl for Windows (x86_64 and i686) from Debian's own curl source package with mingw-w64:
# shared, Schannel TLS, HTTP and HTTPS only. The result is cached outside the tree, keyed by the curl
# version and the architecture, so only the first build on a machine pays for it.
#   usage: build-win-curl.sh ARCH...     (ARCH is x86_64 or i686)
#   prints nothing on a cache hit; the install prefix is $HALDEN_CACHE/curl-<version>-<arch>
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=deb-src.sh
. "$here/deb-src.sh"

cache=${HALDEN_CACHE:-/var/cache/halden}
mkdir -p "$cache"

curl_source_version() {
    dpkg-query -W -f='${source:Version}' libcurl4-openssl-dev 2>/dev/null || echo unknown
}

ensure_deb_src() {
    [ -f /etc/apt/sources.list.d/halden-deb-src.sources ] || [ -f /etc/apt/sources.list.d/halden-deb-src.list ] && return 0
    write_deb_src "" || { echo "build-win-curl: no binary apt source to derive source entries from" >&2; return 1; }
    apt-get update -qq
}

fetch_source() {
    local version=$1 dir="$cache/src-$version"
    if [ ! -f "$dir/.done" ]; then
        ensure_deb_src
        rm -rf "$dir" && mkdir -p "$dir"
        (cd "$dir" && apt-get source -qq --download-only curl >/dev/null && dpkg-source -x --skip-patches ./curl_*.dsc curl >/dev/null 2>&1 || dpkg-source -x ./curl_*.dsc curl >/dev/null)
        touch "$dir/.done"
    fi
    echo "$dir/curl"
}

build_arch() {
    local arch=$1 version=$2 prefix="$cache/curl-$version-$arch"
    [ -f "$prefix/.done" ] && return 0
    local src; src=$(fetch_source "$version")
    local build="$cache/build-$version-$arch"
    rm -rf "$build" "$prefix"
    echo "building libcurl $version for $arch (first time on this machine, a few minutes)..." >&2
    cmake -S "$src" -B "$build" -G Ninja \
        -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_C_COMPILER="$arch-w64-mingw32-gcc-posix" \
        -DCMAKE_RC_COMPILER="$arch-w64-mingw32-windres" \
        -DCMAKE_FIND_ROOT_PATH="/usr/$arch-w64-mingw32" \
        -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
        -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
        -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=ON \
        -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DHTTP_ONLY=ON \
        -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_USE_LIBPSL=OFF -DCURL_USE_LIBSSH2=OFF \
        -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DENABLE_MANUAL=OFF \
        -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DCMAKE_C_FLAGS="-static-libgcc" >"$build.log" 2>&1 \
        || { tail -30 "$build.log" >&2; exit 1; }
    cmake --build "$build" >>"$build.log" 2>&1 || { tail -30 "$build.log" >&2; exit 1; }
    cmake --install "$build" >>"$build.log" 2>&1 || { tail -30 "$build.log" >&2; exit 1; }
    rm -rf "$build"
    touch "$prefix/.done"
}

version=$(curl_source_version)
# The architectures build side by side from one source tree: curl's configuration checks run one
# compiler at a time, so one architecture alone leaves a core idle for most of a minute.
missing=()
for arch in "$@"; do
    [ -f "$cache/curl-$version-$arch/.done" ] || missing+=("$arch")
done
[ ${#missing[@]} -gt 0 ] || exit 0
fetch_source "$version" >/dev/null
builds=()
for arch in "${missing[@]}"; do
    build_arch "$arch" "$version" &
    builds+=($!)
done
status=0
for pid in "${builds[@]}"; do wait "$pid" || status=1; done
exit "$status"
