#!/usr/bin/env bash
# Shows the skinned dialogs with the gallery under Wine and Xvfb, saves screenshots and checks them
# the way a person would: the shadow blends over what lies below (no black corners), the layer sits
# on the background without a seam, the faces show their colours, and the prompt answers its
# buttons but not Escape.
#   usage: skin_screens.sh BUILD_DIR DPI      (DPI 96 uses the build's prefix; any other value a prefix of
#                                               its own, wineprefix-<DPI>dpi, whose LogPixels is DPI)
# Screenshots: BUILD_DIR/screenshots/skin/<DPI>dpi/*.png
set -euo pipefail
build=$(cd "$1" && pwd)
dpi=$2
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
shots=$build/screenshots/skin/${dpi}dpi
mkdir -p "$shots"
gallery=$build/bin/HaldenGallery.exe
. "$source/tests/e2e/lib.sh"

export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -n "${HALDEN_WINE_PREFIX:-}" ]; then
    export WINEPREFIX=$HALDEN_WINE_PREFIX
elif [ "$dpi" = 96 ]; then
    export WINEPREFIX=$build/wineprefix
else
    export WINEPREFIX=$build/wineprefix-${dpi}dpi
fi
"$source/scripts/wine-prefix.sh" "$WINEPREFIX"
"$source/scripts/wine-session.sh" "$WINEPREFIX"
if [ "$dpi" != 96 ] && [ ! -f "$WINEPREFIX/.halden-dpi-$dpi" ]; then
    # What the display settings write; the system reads it when its server starts.
    (
        flock 9
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
        wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
        wineserver -k 2>/dev/null || true
        wineserver -w
        touch "$WINEPREFIX/.halden-dpi-$dpi"
    ) 9>"$WINEPREFIX.dpi.lock"
    "$source/scripts/wine-session.sh" "$WINEPREFIX"
fi

program=
cleanup() {
    end_job "$program"
    wait 2>/dev/null || true
    end_wine_session
}
trap cleanup EXIT

start() {  # start SCENE ARGS...: runs the gallery, output in $out
    out=$(mktemp)
    wine "$gallery" "$@" >"$out" 2>&1 </dev/null &
    program=$!
}
stop() {  # waits up to 10 s for the gallery to end by itself, else ends it
    for _ in $(seq 100); do job_running "$program" || break; sleep 0.1; done
    end_job "$program"
    program=
}
place() {  # place NAME: sets X Y WIDTH HEIGHT of the visible window with that name
    local window
    window=$(find_window "$1") || { fail "no window named $1"; return 1; }
    window_geometry "$window"
}
scale() { awk -v n="$1" -v s="$scale" 'BEGIN { printf "%d", n * s }'; }

host_colour="226 232 240"
white="255 255 255"
blue="37 99 235"

# --- Prompts in modes 2 and 3 with a two-line message -------------------------------------------
for mode in 2 3; do
    start prompt "$mode"
    place 提示 || { stop; continue; }
    scale=$(sed -n 's/^scale //p' "$out" | tr -d '\r')
    [ "$dpi" = 96 ] && expected=1.00 || expected=$(awk -v d="$dpi" 'BEGIN { printf "%.2f", d / 100 }')
    [ "$scale" = "$expected" ] || fail "scale $scale at $dpi dpi, expected $expected"
    [ "$WIDTH" = "$(scale 336)" ] && [ "$HEIGHT" = "$(scale 156)" ] || fail "prompt is ${WIDTH}x$HEIGHT"
    inL=$(scale 5) inT=$(scale 3) inR=$(scale 5) inB=$(scale 7)
    name=prompt-mode$mode
    # Wait for the body of the layer: white below the header.
    shot_when "$name" $((X + WIDTH / 2)) $((Y + inT + $(scale 45))) "$white" 0
    crop "$name" $((X - 20)) $((Y - 20)) $((WIDTH + 40)) $((HEIGHT + 40))
    # Header of the layer in the palette's blue, right at the layer's top-left corner.
    near "$(pixel "$name" $((X + inL + 2)) $((Y + inT + 2)))" "29 78 216" 40 || fail "$name: header corner"
    # No seam: the first column of the layer is white body, the column left of it is shadow.
    near "$(pixel "$name" $((X + inL)) $((Y + inT + $(scale 70))))" "$white" 0 || fail "$name: layer edge not white"
    edge=$(pixel "$name" $((X + inL - 1)) $((Y + inT + $(scale 70))))
    near "$edge" "$host_colour" 3 && fail "$name: no shadow at the left edge"
    near "$edge" "0 0 0" 60 && fail "$name: black shadow edge"
    # The outermost corners blend into the host: nearly the host's colour, never black.
    near "$(pixel "$name" "$X" "$Y")" "$host_colour" 12 || fail "$name: top-left corner $(pixel "$name" "$X" "$Y")"
    near "$(pixel "$name" $((X + WIDTH - 1)) $((Y + HEIGHT - 1)))" "$host_colour" 40 ||
        fail "$name: bottom-right corner $(pixel "$name" $((X + WIDTH - 1)) $((Y + HEIGHT - 1)))"
    # The buttons: mode 2 shows 是 and 否 side by side, mode 3 one 确认 in the middle.
    bx=$((X + inL)) by=$((Y + inT + $(scale 107) + $(scale 5)))
    half=$(((WIDTH - inL - inR) / 2))
    if [ "$mode" = 2 ]; then
        near "$(pixel "$name" $((bx + half - $(scale 12) - $(scale 50))) "$by")" "$blue" 30 || fail "$name: 是 not blue"
        near "$(pixel "$name" $((bx + half + $(scale 12) + 3)) $((by + $(scale 8))))" "$white" 10 || fail "$name: 否 not white"
        # 否: the second button answers 2.
        xdotool mousemove $((bx + half + $(scale 12) + $(scale 27))) $((by + $(scale 7))) click 1
        stop
        grep -q '^result 2' "$out" || fail "$name: 否 did not return 2 ($(tr '\r\n' '  ' <"$out"))"
    else
        near "$(pixel "$name" $((bx + half - $(scale 20))) "$by")" "$blue" 30 || fail "$name: 确认 not centred"
        near "$(pixel "$name" $((bx + half + $(scale 40))) "$by")" "$white" 0 || fail "$name: a second button shows"
        # Escape and Enter do nothing: the click on 确认 that follows them in the input queue is
        # what ends the prompt, with 1 (a key that closed it would have ended it first, with 2).
        xdotool mousemove $((bx + half)) $((Y + inT + $(scale 80))) click 1 key Escape key Return
        xdotool mousemove $((bx + half)) $((by + $(scale 7))) click 1
        stop
        grep -q '^result 1' "$out" || fail "$name: not ended by 确认 with 1 ($(tr '\r\n' '  ' <"$out"))"
    fi
    rm -f "$out"
done

# --- The please-wait box over a window --------------------------------------------------------------
start wait
if place 请稍等; then
    scale=$(sed -n 's/^scale //p' "$out" | tr -d '\r')
    inL=$(scale 14) inT=$(scale 12)
    shot_when please-wait $((X + inL + $(scale 5))) $((Y + inT + $(scale 95))) "17 24 39" 24
    crop please-wait $((X - 60)) $((Y - 60)) $((WIDTH + 120)) $((HEIGHT + 120))
    # Over the middle of its owner, 20 x scale above the centre.
    window_geometry "$(find_window 'Halden gallery')" HOST_
    [ $((X + WIDTH / 2 - HOST_X - HOST_WIDTH / 2)) -le 1 ] || fail "please-wait not centred over its owner"
    near "$(pixel please-wait "$X" "$Y")" "$host_colour" 6 || fail "please-wait: corner $(pixel please-wait "$X" "$Y")"
    mid=$(pixel please-wait $((X + inL / 2)) $((Y + HEIGHT / 2)))
    near "$mid" "$host_colour" 3 && fail "please-wait: no shadow"
    near "$mid" "0 0 0" 50 && fail "please-wait: black shadow"
    # White status text on the dark card.
    text=$(convert "$shots/please-wait.png" -crop "$((WIDTH - 2 * inL))x$(scale 20)+$((X + inL))+$((Y + inT + $(scale 40)))" \
        -format '%[fx:maxima.r]' info:)
    awk -v m="$text" 'BEGIN { exit !(m > 0.9) }' || fail "please-wait: no white text"
fi
stop
rm -f "$out"

# --- A button in each face, the progress bar at 0, 50 and 100 %, the check box ----------------------
start controls
if place 'Halden controls'; then
    scale=$(sed -n 's/^scale //p' "$out" | tr -d '\r')
    # The window found is the page's client area (the window manager draws the caption); the page's
    # layout is counted from its bottom edge.
    m=$(scale 16) bw=$(scale 246) bh=$(scale 47)
    cy=$((Y + HEIGHT - $(scale 90) - (3 * $(scale 30) + m / 2) - 2 * (bh + m) - m))
    cx=$((X + (WIDTH - (3 * m + 2 * bw)) / 2))
    top=$((cy + m + 2 * (bh + m)))
    bar_at() { echo $((cx + m + $(scale "$1"))) $((top + $2 * $(scale 30) + $(scale 4))); }
    bar() { pixel controls $(bar_at "$1" "$2"); }
    track="140 154 174"
    # The page's controls paint one by one; under load the bars came after the first button.
    shot_when controls $((cx + m + 12)) $((cy + m + 12)) "$blue" 12
    shot_when controls $(bar_at 290 1) "$track" 16
    crop controls "$cx" "$cy" $((3 * m + 2 * bw)) $((HEIGHT - (cy - Y)))
    face() { pixel controls $((cx + m + $1 * (bw + m) + 12)) $((cy + m + $2 * (bh + m) + 12)); }
    near "$(face 0 0)" "$blue" 12 || fail "normal face $(face 0 0)"
    near "$(face 1 0)" "59 130 246" 12 || fail "hover face $(face 1 0)"
    near "$(face 0 1)" "29 78 216" 12 || fail "pressed face $(face 0 1)"
    near "$(face 1 1)" "213 220 230" 12 || fail "disabled face $(face 1 1)"
    near "$(bar 60 0)" "$track" 16 || fail "0 %: $(bar 60 0) is not track"
    near "$(bar 60 1)" "$track" 16 && fail "50 %: the left half is not filled"
    near "$(bar 290 1)" "$track" 16 || fail "50 %: the right half is not track"
    near "$(bar 330 2)" "$track" 16 && fail "100 %: the right end is not filled"
fi
stop
rm -f "$out"

# --- The feedback dialog: a picture, then each answer through the stand-in library -----------------
# Every click is real mouse input; the library records what it was asked.
records=$build/feedback-gallery-$dpi
mkdir -p "$records"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
calls() { tr -d '\r' 2>/dev/null <"$records/calls.txt"; }
# feedback_start [unbound]: the dialog over its host; sets L (the layer's top-left) and the answer
# buttons' geometry B_LEFT, B_TOP (solved), B_STEP, B_W, B_H, INSET in screen pixels.
feedback_start() {
    rm -f "$records/calls.txt"
    xdotool mousemove 0 0  # away from the buttons, so that each shows its normal face
    # A held report lasts until the test lets it end: however slow the machine, a close from outside
    # comes while it is under way.
    rm -f "$records/report-done"
    printf '[Answers]\r\nReportUntil=%s\r\n[Record]\r\nPath=%s\r\n' \
        "$([ "${hold:-0}" = 1 ] && windows_path "$records/report-done")" \
        "$(windows_path "$records/calls.txt")" >"$records/answers.ini"
    HALDEN_FEEDBACK_CONFIG=$(windows_path "$records/answers.ini") start feedback "$@"
    place Ostrel || return 1
    scale=$(sed -n 's/^scale //p' "$out" | tr -d '\r')
    LX=$((X + $(scale 5))) LY=$((Y + $(scale 4)))
    read -r B_LEFT B_TOP B_STEP B_W B_H INSET < <(awk -v s="$scale" 'BEGIN {
        printf "%d %d %d %d %d %d", int(400 * s / 2 - 266 * s / 2), int(468 * s / 2) - int(80 * s), int(80 * s),
            int(266 * s), int(60 * s), int(9 * s) }')
    B_LEFT=$((LX + B_LEFT)) B_TOP=$((LY + B_TOP))
}
answer_at() {  # answer_at ROW: the centre of the answer button in that row (0 solved, 1 unsolved, 2 more)
    echo $((B_LEFT + B_W / 2)) $((B_TOP + $1 * B_STEP + B_H / 2))
}
ended() {  # ended: the gallery printed DoModal's result within 10 s
    stop
    grep -q '^result' "$out"
}
hold=1
if feedback_start; then
    [ "$WIDTH" = "$(scale 410)" ] && [ "$HEIGHT" = "$(scale 479)" ] || fail "feedback is ${WIDTH}x$HEIGHT"
    read -r cx cy < <(answer_at 0)
    shot_when feedback "$cx" "$cy" "$blue" 12
    crop feedback $((X - 20)) $((Y - 20)) $((WIDTH + 40)) $((HEIGHT + 40))
    # The outermost corners blend into what lies below them: nearly the colour just outside.
    corner() {
        near "$(pixel feedback "$1" "$2")" "$(pixel feedback "$3" "$2")" "$4" ||
            fail "feedback: corner at $1,$2 is $(pixel feedback "$1" "$2") beside $(pixel feedback "$3" "$2")"
    }
    corner "$X" "$Y" $((X - 2)) 12
    corner $((X + WIDTH - 1)) $((Y + HEIGHT - 1)) $((X + WIDTH + 1)) 40
    read -r ux uy < <(answer_at 1)
    near "$(pixel feedback $((B_LEFT + B_W / 2)) $((B_TOP + B_STEP + B_H / 2 + $(scale 8))))" "$white" 10 ||
        fail "feedback: 未解决 not white below its text"
    # A press released inside the margin of 未解决 is no answer; 更多方案 opens the knowledge base and
    # the dialog stays.
    xdotool mousemove $((B_LEFT + INSET / 2)) "$uy" mousedown 1 sleep 0.2 mouseup 1
    read -r mx my < <(answer_at 2)
    xdotool mousemove "$mx" "$my" click 1
    # The library records the call when the dialog has handled the click: wait for it, not for a time.
    calls_are() { [ "$(calls)" = "$1" ]; }
    expect_calls() { poll 10 calls_are "$1" || fail "feedback: $2: calls were [$(calls | tr '\t\n' ' |')]"; }
    expect_calls "$(printf 'OpenUrl\t"https://kb.quorin.com/"')" "margin press then 更多方案"
    job_running "$program" || fail "feedback: the dialog ended without an answer"
    # The answer (已解决 at 96 dpi, 未解决 at any other) is reported slowly: the please-wait box shows,
    # and a close from outside meanwhile does not end the dialog before the report is done.
    row=1 kind=2
    [ "$dpi" = 96 ] && row=0 kind=1
    read -r ax ay < <(answer_at $row)
    now=$(date +%s)
    xdotool mousemove "$ax" "$ay" click 1
    if box=$(find_window 请稍等); then
        shot feedback-reporting
        crop feedback-reporting $((X - 20)) $((Y - 20)) $((WIDTH + 40)) $((HEIGHT + 40))
        drv close feedback >/dev/null
        job_running "$program" || fail "feedback: a close from outside ended the dialog during the report"
    else
        fail "feedback: no please-wait box during the report"
    fi
    touch "$records/report-done"
    ended || fail "feedback: DoModal did not return after the answer"
    sent=$(calls | sed -n 2p)
    [[ $sent =~ ^CustomerFeedbackEx$'\t'\"10075\"$'\t'\"2\.1\.21\.312\"$'\t'$kind$'\t'\"([0-9]+)\"$ ]] ||
        fail "feedback: report [$sent]"
    stamp=${BASH_REMATCH[1]:-0}
    [ $((stamp - now)) -ge 0 ] && [ $((stamp - now)) -le 10 ] || fail "feedback: time text $stamp, began at $now"
    [ "$(calls | sed -n 3p)" = "$(printf 'FeedbackQuestion\t"10075"\t"2.1.21.312"')" ] || fail "feedback: no question after the report"
    [ "$(calls | wc -l)" = 3 ] || fail "feedback: $(calls | wc -l) calls"
fi
stop
hold=0
# The close button is an answer too: kind 3.
if feedback_start; then
    shot_when feedback-close $(answer_at 0) "$blue" 12
    xdotool mousemove $((LX + WIDTH - $(scale 10) - $(scale 12))) $((LY + $(scale 12))) click 1
    ended || fail "feedback: the close button did not end the dialog"
    [ "$(calls | cut -f1,4)" = "$(printf 'CustomerFeedbackEx\t3\nFeedbackQuestion')" ] ||
        fail "feedback: close reported [$(calls | tr '\t\n' ' |')]"
fi
stop
# No library bound: the answer still opens and closes the box and ends the dialog, and nothing is sent.
if feedback_start unbound; then
    shot_when feedback-unbound $(answer_at 0) "$blue" 12
    xdotool mousemove $(answer_at 0) click 1
    ended || fail "feedback: unbound, the answer did not end the dialog"
    [ -z "$(calls)" ] || fail "feedback: unbound, calls [$(calls | tr '\t\n' ' |')]"
fi
stop
rm -f "$out"

ls "$shots"
echo "skin screenshots at $dpi dpi in $shots"
finish
