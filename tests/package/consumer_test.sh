#!/usr/bin/env bash
# Another program uses the engine as `cmake --install` leaves it: a plain install holds the engine
# alone, and the example in download/examples builds against that tree and downloads from the test
# server. Natively it is built through find_package and through pkg-config; with mingw through
# find_package, and it runs under Wine with the installed DLLs beside it.
#   usage: consumer_test.sh BUILD_DIR SOURCE_DIR SERVER_DIR VERSION LIBDIR [TOOLCHAIN WINE_RUN]
set -uo pipefail
build=$1 source=$2 server=$3 version=$4 libdir=$5 toolchain=${6:-} wine_run=${7:-}
work=$build/package-tests/consumer
prefix="$work/pre fix"  # a space, as in "Program Files" or a user's home
. "$(dirname "$0")/package_support.sh"
rm -rf "$work" && mkdir -p "$work/out"
url=$(example_url)

# A prefix given relative to the current folder, as people type it.
(cd "$work" && cmake --install "$build" --prefix "pre fix") >"$work/install.log" 2>&1 || fail "install: exit status $?"
package=./$libdir/cmake/Dravlin
if [ -n "$toolchain" ]; then
    library="./bin/Dravlin.dll ./bin/libcurl.dll ./bin/dravlin-get.exe ./lib/libDravlin.dll.a"
else
    library="./bin/dravlin-get ./$libdir/libdravlin.so.$version ./$libdir/libdravlin.so.1->libdravlin.so.$version
             ./$libdir/libdravlin.so->libdravlin.so.1"
fi
# shellcheck disable=SC2086  # word lists
expected=$(printf '%s\n' $library ./include/dravlin.h ./$libdir/pkgconfig/dravlin.pc $package/DravlinConfig.cmake \
    $package/DravlinConfigVersion.cmake $package/DravlinTargets.cmake $package/DravlinTargets-release.cmake | LC_ALL=C sort)
installed=$(cd "$prefix" && find . -type f -printf '%p\n' -o -type l -printf '%p->%l\n' | LC_ALL=C sort)
[ "$installed" = "$expected" ] || fail "installed tree:"$'\n'"$installed"$'\n'"expected:"$'\n'"$expected"

# Through find_package, the way a CMake project of someone else's finds it.
if [ -n "$toolchain" ]; then
    # A cross build searches only its target's root; naming the package's folder is the way in.
    find_args=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DDravlin_DIR="$prefix/$libdir/cmake/Dravlin")
else
    find_args=(-DCMAKE_PREFIX_PATH="$prefix")
fi
cmake -S "$source/download/examples" -B "$work/fp" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" "${find_args[@]}" >"$work/fp-configure.log" 2>&1 || fail "find_package: configure failed"
grep -qF "Found Dravlin $version in $prefix/$libdir/cmake/Dravlin" "$work/fp-configure.log" || fail "find_package found another Dravlin"
cmake --build "$work/fp" >"$work/fp-build.log" 2>&1 || fail "find_package: build failed"

if [ -n "$toolchain" ]; then
    # The installed DLLs beside the program: Windows looks in the program's folder first.
    mkdir -p "$work/run" && cp "$work/fp/fetch_one.exe" "$prefix"/bin/*.dll "$work/run/"
    "$wine_run" "$work/run/fetch_one.exe" "$url" "Z:${work//\//\\}\\out\\fp.bin" >"$work/fp-run.log" 2>&1 \
        || fail "find_package: the example under Wine ended with $?"
    check_example "find_package (mingw)" "$work/fp-run.log" "$work/out/fp.bin"
    echo "installed engine: the tree as expected; the example built with mingw through find_package downloaded under Wine"
    exit 0
fi
"$work/fp/fetch_one" "$url" "$work/out/fp.bin" >"$work/fp-run.log" 2>&1 || fail "find_package: the example ended with $?"
check_example find_package "$work/fp-run.log" "$work/out/fp.bin"

# Through pkg-config, with the installed tree as the only place it looks.
export PKG_CONFIG_LIBDIR=$prefix/$libdir/pkgconfig
[ "$(pkg-config --modversion dravlin)" = "$version" ] || fail "pkg-config: version '$(pkg-config --modversion dravlin)'"
pkg_config_example pkg-config "$prefix/$libdir"
echo "installed engine: the tree as expected; the example built through find_package and through pkg-config downloaded"
