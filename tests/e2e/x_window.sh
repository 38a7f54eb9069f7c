# Finding windows on the test display, for the end-to-end scripts (source it).
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
