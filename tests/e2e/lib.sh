# shellcheck shell=bash
# What every end-to-end script shares: checks that count their failures, waiting for a state, the
# control ids of the resource headers, the driver, windows on the test display and screenshots.
# Source it after setting `source` (the source tree) and `build` (the build tree).
# A script that sources it runs again at once with the fixed address layout Wine needs here.
. "$source/scripts/fixed-layout.sh"

# --- Checks ---------------------------------------------------------------------------------------
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
ok() { echo "ok: $*"; }
# expect WHAT ACTUAL EXPECTED
expect() {
    if [ "$2" = "$3" ]; then ok "$1"; else fail "$1: saw '$2', expected '$3'"; fi
}
# expect_match WHAT ACTUAL EXTENDED_REGEX
expect_match() {
    if [[ $2 =~ $3 ]]; then ok "$1 ($2)"; else fail "$1: saw '$2', expected /$3/"; fi
}
# check WHAT COMMAND...: the command succeeds
check() {
    if "${@:2}"; then ok "$1"; else fail "$1"; fi
}
# silent COMMAND...: the command without its output, for a check that needs only its status.
silent() { "$@" >/dev/null; }
finish() {
    if [ "$failures" = 0 ]; then
        echo "PASS"
        exit 0
    fi
    echo "$failures checks failed"
    exit 1
}

# A script under `set -e` ends at its first failing command: it names that command, so that no test
# ends without a FAIL line saying why. Not inside command substitutions, whose output is a value;
# to the script's own output, since the command may be one whose output goes to /dev/null.
if [[ $- == *e* ]]; then
    set -E
    exec {script_output}>&1
    trap 'status=$?; [ "$BASH_SUBSHELL" != 0 ] ||
        echo "FAIL: ${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND (status $status)" >&"$script_output"' ERR
fi

# poll SECONDS COMMAND...: runs the command every 0.1 s until it succeeds; fails after SECONDS.
poll() {
    local deadline=$((SECONDS + $1))
    until "${@:2}"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# --- Background jobs -------------------------------------------------------------------------------
# A process id names a job only while the job runs: ids come round again within one test run
# (pid_max is 32768 here, and four lanes start thousands of processes), so asking "kill -0 PID" or
# sending "kill PID" after the job ended may reach somebody else's process. These ask the shell's
# own table of running jobs.
job_running() {
    local pid
    for pid in $(jobs -pr); do [ "$pid" = "$1" ] && return 0; done
    return 1
}
# end_job PID: ends the job if it still runs, and collects it.
end_job() {
    [ -n "$1" ] || return 0
    if job_running "$1"; then kill "$1" 2>/dev/null || true; fi
    wait "$1" 2>/dev/null || true
}

# A scenario ends the Wine session of its prefix when it ends: the next one starts its own on a
# display of its own, and nothing of the scenario outlives it.
end_wine_session() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

# --- Control ids ------------------------------------------------------------------------------------
# resource_id NAME: the number of a resource id, read from the program's and the skinned dialogs'
# headers. (Not "id": that is the system's command.)
resource_id() {
    local number
    number=$(awk -v name="$1" '$1 == "#define" && $2 == name { print $3; exit }' \
        "$source/app/resource.h" "$source/skin/resource_ids.h")
    [ -n "$number" ] || { echo "no resource id $1" >&2; return 1; }
    echo "$number"
}

# drv VERB ARGS...: the driver (tests/e2e/app/halden_driver.cpp), its output without carriage
# returns. An argument that names a resource id (IDC_BTN_ACTION) goes to it as its number.
drv() {
    local arg args=()
    for arg in "$@"; do
        if [[ $arg =~ ^ID[A-Z]?_[A-Z0-9_]+$ ]]; then arg=$(resource_id "$arg") || return 2; fi
        args+=("$arg")
    done
    wine "$build/bin/halden_driver.exe" "${args[@]}" </dev/null 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# --- Windows on the test display ----------------------------------------------------------------------
# The window manager puts each managed window in a frame of its own: an id found by name is the
# program's window inside that frame, and xdotool getwindowgeometry then reports a position off by
# the frame's offset. xwininfo's absolute position is where the window really is on screen.

# find_window NAME: prints the id of the visible window whose name is exactly NAME, waiting up to 30 s.
find_window() {
    local window
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [ -n "$window" ] &&
            { echo "$window"; return 0; }
        sleep 0.1
    done
    return 1
}

# window_geometry ID [PREFIX]: sets PREFIX{X,Y,WIDTH,HEIGHT} to the window's place on screen.
window_geometry() {
    local info
    info=$(xwininfo -id "$1") || return 1
    printf -v "${2:-}X" '%s' "$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")"
    printf -v "${2:-}Y" '%s' "$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")"
    printf -v "${2:-}WIDTH" '%s' "$(sed -n 's/^ *Width: *//p' <<<"$info")"
    printf -v "${2:-}HEIGHT" '%s' "$(sed -n 's/^ *Height: *//p' <<<"$info")"
}

# --- Screenshots --------------------------------------------------------------------------------------
# shot NAME [SEL [MARGIN [once]]]: the screen as NAME in $shots. With SEL, a dialog of the driver's,
# the screen goes to NAME-screen and NAME is a close-up of the dialog with MARGIN pixels around it
# (default 24), kept once two in a row are the same: the window has finished painting; with "once",
# for a window that changes all the time (a download under way), the first picture.
shot() {
    local name=$1 margin=${3:-24} geometry previous='' current
    mkdir -p "$shots"
    if [ -z "${2:-}" ]; then
        import -window root "$shots/$name.png"
        return 0
    fi
    # Often the window's program has only just been started: give it the time a busy machine takes.
    geometry=$(drv wait "$2" 60) || { fail "no $2 window to photograph for $name"; return 0; }
    read -r gx gy gw gh _ <<<"$geometry"
    for _ in $(seq 30); do
        import -window root "$shots/$name-screen.png"
        convert "$shots/$name-screen.png" -crop "$((gw + 2 * margin))x$((gh + 2 * margin))+$((gx - margin))+$((gy - margin))" \
            +repage "$shots/$name.png"
        [ "${4:-}" = once ] && return 0
        current=$(convert "$shots/$name.png" rgb:- | md5sum)
        [ "$current" = "$previous" ] && return 0
        previous=$current
        sleep 0.2
    done
    fail "$name: the picture of $2 never settled"
}
# pixel NAME X Y: "r g b" of the screenshot NAME at X, Y.
pixel() {
    convert "$shots/$1.png" -format '%[fx:int(255*u.p{'"$2"','"$3"'}.r)] %[fx:int(255*u.p{'"$2"','"$3"'}.g)] %[fx:int(255*u.p{'"$2"','"$3"'}.b)]' info:
}
# near "r g b" "r g b" TOLERANCE: each channel within TOLERANCE.
near() {
    local a b i d
    read -r -a a <<<"$1"
    read -r -a b <<<"$2"
    for i in 0 1 2; do
        d=$((a[i] - b[i]))
        [ "${d#-}" -le "$3" ] || return 1
    done
}
# shot_when NAME X Y "r g b" TOLERANCE: screenshots until the screen shows that colour at X, Y (the
# window has painted); keeps that one.
shot_when() {
    for _ in $(seq 100); do
        shot "$1"
        near "$(pixel "$1" "$2" "$3")" "$4" "$5" && return 0
        sleep 0.1
    done
    fail "$1: expected $4 at $2,$3, saw $(pixel "$1" "$2" "$3")"
}
# crop NAME X Y W H: a close-up beside the screenshot NAME, as NAME-closeup.
crop() {
    convert "$shots/$1.png" -crop "$4x$5+$2+$3" +repage "$shots/$1-closeup.png"
}
