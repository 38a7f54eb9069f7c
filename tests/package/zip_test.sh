#!/usr/bin/env bash
# `cpack -G ZIP` makes Halden's release: one folder holding the four files that ship beside the
# program, byte for byte the build's own, and a SHA256SUMS that verifies exactly them.
#   usage: zip_test.sh BUILD_DIR VERSION DIST_DIR
set -uo pipefail
build=$1 version=$2 dist=$3
work=$build/package-tests/zip
. "$(dirname "$0")/package_support.sh"
rm -rf "$work" && mkdir -p "$work"
name=Halden-$version-$(basename "$dist")
shipped="Dravlin.dll Halden.exe QuorinFeedbackInformation.dll libcurl.dll"

(cd "$build" && cpack -G ZIP -B "$work/zip") >"$work/cpack.log" 2>&1 || fail "cpack: exit status $?"
[ "$(cd "$work/zip" && ls -- *.zip)" = "$name.zip" ] || fail "archives made: $(ls "$work/zip")"
unzip -q "$work/zip/$name.zip" -d "$work/x" || fail "unzip: exit status $?"
[ "$(ls -A "$work/x")" = "$name" ] || fail "the archive's top level: $(ls -A "$work/x")"
folder=$work/x/$name
# shellcheck disable=SC2086  # a word list
[ "$(cd "$folder" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort)" = "$(printf '%s\n' SHA256SUMS $shipped | LC_ALL=C sort)" ] \
    || fail "the release folder holds: $(ls -A "$folder" | paste -sd' ')"
[ "$(cut -c67- "$folder/SHA256SUMS" | LC_ALL=C sort | paste -sd' ')" = "$shipped" ] || fail "SHA256SUMS names: $(cat "$folder/SHA256SUMS")"
(cd "$folder" && sha256sum --strict -c SHA256SUMS) >"$work/sums.log" 2>&1 || fail "SHA256SUMS does not verify"
for f in $shipped; do
    cmp -s "$folder/$f" "$dist/$f" || fail "$f is not the build's"
done
echo "release ZIP: $name/ with the four shipped files and a SHA256SUMS that verifies them"
