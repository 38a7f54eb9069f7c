#!/usr/bin/env bash
# `cpack -G DEB` makes libdravlin1, libdravlin-dev and dravlin-get; their metadata are what Debian
# expects (the library package named after the soname with a shlibs file for it, the development
# link only in -dev, -dev tied to the same version); every dependency is met by Debian 12's
# packages; and once unpacked into a scratch root, the example builds there with pkg-config and
# downloads.
#   usage: deb_test.sh BUILD_DIR SOURCE_DIR SERVER_DIR VERSION LIBDIR
set -uo pipefail
build=$1 source=$2 server=$3 version=$4 libdir=$5
work=$build/package-tests/deb
root=$work/root
. "$(dirname "$0")/package_support.sh"
rm -rf "$work" && mkdir -p "$root" "$work/out"
url=$(example_url)
arch=$(dpkg --print-architecture)

(cd "$build" && cpack -G DEB -B "$work/debs") >"$work/cpack.log" 2>&1 || fail "cpack: exit status $?"
made=$(cd "$work/debs" && ls -- *.deb | LC_ALL=C sort | paste -sd' ')
[ "$made" = "dravlin-get_${version}_$arch.deb libdravlin-dev_${version}_$arch.deb libdravlin1_${version}_$arch.deb" ] \
    || fail "packages made: $made"
deb() { echo "$work/debs/$1_${version}_$arch.deb"; }
field() { dpkg-deb -f "$(deb "$1")" "$2"; }
files() { dpkg-deb -c "$(deb "$1")" | awk '$1 !~ /^d/ {print $6 ($7 == "->" ? "->" $8 : "")}' | LC_ALL=C sort | paste -sd' '; }

for p in libdravlin1 libdravlin-dev dravlin-get; do
    [ "$(field $p Package) $(field $p Version) $(field $p Architecture)" = "$p $version $arch" ] || fail "$p: control fields"
done
sorted() { printf '%s\n' "$@" | LC_ALL=C sort | paste -sd' '; }
lib=./usr/$libdir
[ "$(files libdravlin1)" = "$(sorted "$lib/libdravlin.so.$version" "$lib/libdravlin.so.1->libdravlin.so.$version")" ] \
    || fail "libdravlin1 holds: $(files libdravlin1)"
[ "$(files libdravlin-dev)" = "$(sorted ./usr/include/dravlin.h "$lib/libdravlin.so->libdravlin.so.1" "$lib/pkgconfig/dravlin.pc" \
    "$lib"/cmake/Dravlin/Dravlin{Config,ConfigVersion,Targets,Targets-release}.cmake)" ] \
    || fail "libdravlin-dev holds: $(files libdravlin-dev)"
[ "$(files dravlin-get)" = "./usr/bin/dravlin-get" ] || fail "dravlin-get holds: $(files dravlin-get)"
dpkg-deb -e "$(deb libdravlin1)" "$work/control"
[ "$(cat "$work/control/shlibs")" = "libdravlin 1 libdravlin1 (>= $version)" ] || fail "shlibs: $(cat "$work/control/shlibs")"
[ "$(field libdravlin-dev Depends)" = "libdravlin1 (= $version)" ] || fail "libdravlin-dev depends on: $(field libdravlin-dev Depends)"
grep -qF "libdravlin1 (= $version)" <<<"$(field dravlin-get Depends)" || fail "dravlin-get depends on: $(field dravlin-get Depends)"
grep -qE '(^|, )libcurl4 \(>=' <<<"$(field libdravlin1 Depends)" || fail "libdravlin1 depends on: $(field libdravlin1 Depends)"

# Every dependency on something other than these packages is an installed Debian 12 package of a
# version that satisfies it: what a clean system gets from the archive for them.
for p in libdravlin1 libdravlin-dev dravlin-get; do
    while read -r name op want; do
        case $name in libdravlin1|libdravlin-dev|dravlin-get) continue ;; esac
        have=$(dpkg-query -W -f='${Status} ${Version}' "$name" 2>/dev/null | sed -n 's/^install ok installed //p')
        [ -n "$have" ] || fail "$p needs $name, which is not a package here"
        [ -z "$op" ] || dpkg --compare-versions "$have" "${op#(}" "${want%)}" || fail "$p needs $name $op $want; Debian 12 has $have"
    done < <(field $p Depends | tr ',' '\n' | sed 's/^ *//')
done

# Unpacked as dpkg would install them, the development files lead pkg-config and the compiler into
# the root and nowhere else.
for p in libdravlin1 libdravlin-dev dravlin-get; do dpkg-deb -x "$(deb $p)" "$root"; done
grep -qx 'prefix=/usr' "$root/usr/$libdir/pkgconfig/dravlin.pc" || fail "dravlin.pc does not name /usr"
export PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$root/usr/$libdir/pkgconfig
pkg_config_example debian-packages "$root/usr/$libdir"
LD_LIBRARY_PATH=$root/usr/$libdir "$root/usr/bin/dravlin-get" "${url%%\?*}" "$work/out/get.bin" >"$work/get.log" 2>&1 \
    || fail "the packaged dravlin-get ended with $?"
cmp -s "$work/out/get.bin" "$server/root/package-example.bin" || fail "the packaged dravlin-get saved another file"
echo "Debian packages: three, with their metadata, dependencies met; the example built with pkg-config in the unpacked root and downloaded"
