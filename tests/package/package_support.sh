# Shared by the package tests (sourced): failing with the logs, and one download by the example.
#   needs: work (the test's scratch folder), version, server (the test server's folder), source, url

fail() {
    echo "FAIL: $*"
    for f in "$work"/*.log; do [ -f "$f" ] && { echo "--- $f"; tail -25 "$f"; }; done
    exit 1
}

# A file on the test server that takes about a second to download, so that it is reported on.
example_url() {
    seq 1 40000 >"$server/root/package-example.bin"
    echo "http://127.0.0.1:$(cat "$server/state/port")/package-example.bin?throttle=200000"
}

# check_example LABEL LOG FILE: what a run of the example printed (its header's version, progress
# lines in the engine's format, the ending 303 last) and that FILE is the whole served file.
check_example() {
    local label=$1 log=$2 file=$3 first last
    tr -d '\r' <"$log" >"$log.lines"  # Windows programs end their lines with CR LF
    first=$(head -1 "$log.lines") last=$(tail -1 "$log.lines")
    [ "$first" = "Dravlin $version" ] || fail "$label: first line '$first', expected 'Dravlin $version'"
    grep -qE '^task 1: +[0-9]+%  [0-9]+\.[0-9]{2}(B|kB|M|G)/s$' "$log.lines" || fail "$label: no progress line"
    [ "$last" = "task 1: ending 303" ] || fail "$label: last line '$last'"
    cmp -s "$file" "$server/root/package-example.bin" || fail "$label: the downloaded file differs"
}

# pkg_config_example LABEL LIBDIR: builds the example with the flags pkg-config gives (strictly, as
# C11), checks that it needs the library by its soname, and runs it with the library from LIBDIR.
pkg_config_example() {
    local label=$1 libdir=$2 exe=$work/$1/fetch_one needed
    mkdir -p "$work/$label"
    # pkg-config escapes a space in a path with a backslash, which only the shell's own reading undoes.
    local flags
    flags=$(pkg-config --cflags --libs dravlin) || fail "$label: pkg-config failed"
    eval "cc -std=c11 -Wall -Wextra -Werror -o \"\$exe\" \"\$source/download/examples/fetch_one.c\" $flags" \
        >"$work/$label-build.log" 2>&1 || fail "$label: build failed with $flags"
    needed=$(readelf -d "$exe" | sed -nE 's/.*Shared library: \[(libdravlin[^]]*)\]/\1/p')
    [ "$needed" = libdravlin.so.1 ] || fail "$label: the program needs '$needed', not the soname"
    LD_LIBRARY_PATH=$libdir "$exe" "$url" "$work/out/$label.bin" >"$work/$label-run.log" 2>&1 || fail "$label: the example ended with $?"
    check_example "$label" "$work/$label-run.log" "$work/out/$label.bin"
}
