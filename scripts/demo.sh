#!/usr/bin/env bash
# The main job: sets everything up, builds the 64-bit Windows program and runs both of its runs
# under Wine in a sandbox prefix (build/demo/wineprefix, never ~/.wine), against a local mirror of
# the disc image that it starts itself (HTTPS on 127.0.0.1, an authority made for this run, the
# image throttled so that the progress bar shows for a few seconds). The outside programs (PowerShell,
# the troubleshooter, the Office setup) are the test doubles, which record what they were asked.
#
# With a display (DISPLAY set): Halden opens there for you to click through; when the first run
# ends (its restart ends every program of the sandbox), the second run starts.
# Without one (or with HALDEN_DEMO_HEADLESS=1): it clicks through both runs itself under Xvfb, as a
# person would, saves a screenshot of every stage in build/demo/ with a contact sheet
# build/demo/workflow.png, and prints the doubles' record and the program's log.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
if [ "${HALDEN_DEMO_INNER:-0}" != 1 ]; then
    ./scripts/bootstrap.sh
    cmake --preset win64 >/dev/null
    cmake --build --preset win64 >/dev/null
    if [ -z "${DISPLAY:-}" ] || [ "${HALDEN_DEMO_HEADLESS:-0}" = 1 ]; then
        # The same script again, on a private Xvfb display of its own.
        HALDEN_DEMO_INNER=1 exec ./scripts/with-display.sh "$0"
    fi
fi

demo=$source/build/demo
shots=$demo
mkdir -p "$demo"
rm -f "$demo"/[0-9][0-9]-*.png "$demo/workflow.png"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$source/build/win64" "$demo/wineprefix"
"$source/tests/e2e/app/mirror.sh" start "$demo/mirror" 40
trap '"$source/tests/e2e/app/mirror.sh" stop "$demo/mirror"; wineserver -k 2>/dev/null || true' EXIT

scenario demo >/dev/null
folder="$desktop_win\\Halden"
make_program_folder "$folder"
set_policy ImageUrl "$(cat "$demo/mirror/url")?throttle=3000000"
set_policy CaFile "$(windows_of "$demo/mirror/ca.pem")"
export HALDEN_DOUBLE_SETUP_STARTS_C2R=1
# Each troubleshooter takes a moment, as a person clicking through it would: the removal's box is
# still up when it is photographed (without it, the next dialog was caught in the box's place).
export HALDEN_DOUBLE_MSDT_MS=2000

show_records() {
    echo
    echo "== What the outside programs were asked (the doubles' record, $work_win\\calls.txt)"
    tr -d '\r' <"$work/calls.txt" 2>/dev/null | cut -f1,2,4,5 || true
    echo
    echo "== What the feedback library was asked"
    feedback_calls || true
    echo
    echo "== The program's log (C:\\ProgramData\\ToolLog\\Ostrel.txt)"
    iconv -f GBK -t UTF-8 "$WINEPREFIX/drive_c/ProgramData/ToolLog/Ostrel.txt" 2>/dev/null | tr -d '\r' || echo "(no records)"
}

if [ "${HALDEN_DEMO_INNER:-0}" != 1 ]; then
    echo "Halden's first run is on $DISPLAY: press 开始卸载, then 是 to \"restart\" (it ends the sandbox's programs)."
    wine "$folder\\Halden.exe" </dev/null >/dev/null 2>&1 || true
    if marker_present; then
        reboot  # the "computer" boots again
        echo "The second run: press 下载并安装; the image comes from $(cat "$demo/mirror/url")."
        wine "$folder\\Halden.exe" </dev/null >/dev/null 2>&1 || true
    else
        echo "The first run ended without a removal, so there is no second run to start."
    fi
    show_records
    exit 0
fi

# stage NAME SEL [once]: a screenshot of that dialog, named for the contact sheet ("once" for a
# window that keeps changing, see shot).
count=0
stage() {
    count=$((count + 1))
    local name
    name=$(printf '%02d-%s' "$count" "$1")
    shot "$name" "$2" 30 "${3:-}"
    rm -f "$shots/$name-screen.png"
    echo "stage $count: $1 ($shots/$name.png)"
}
# step DESCRIPTION COMMAND...: the command must succeed, or the demo stops and says where.
step() {
    "${@:2}" >/dev/null || { echo "the demo stopped: $1" >&2; show_records; exit 1; }
}

step "Halden's window did not appear" start_halden "$folder"
step "Halden's window did not appear" drv wait main 60
stage first-run main
step "the action button" drv click main IDC_BTN_ACTION
if drv wait wait 3 >/dev/null; then stage removing wait once; fi
step "no restart question" drv wait prompt 120
stage restart-question prompt
step "是" drv click prompt IDC_PROMPT_FIRST
step "the restart did not end the first run" ended_within 30
reboot  # the "computer" boots again

step "the second run's window did not appear" start_halden "$folder"
step "the second run's window did not appear" drv wait main 60
stage second-run main
step "the action button" drv click main IDC_BTN_ACTION
step "the progress bar" drv until main IDC_STC_PROGRESS text=/s 30
stage downloading main once
step "the download did not end" drv until main IDC_STC_PROGRESS hidden 120
if drv wait wait 3 >/dev/null; then stage installing wait; fi
step "no result after the installation" drv wait prompt 120
stage install-complete prompt
step "确认" drv click prompt IDC_PROMPT_FIRST
step "the result prompt stays" drv gone prompt 10
step "the close button" drv click main IDC_BTN_CLOSE
step "no feedback dialog" drv wait feedback 20
stage feedback feedback
step "已解决" drv click feedback IDC_FEEDBACK_SOLVED
step "Halden did not end" ended_within 20

montage -label '%t' "$demo"/[0-9][0-9]-*.png -tile 5x -geometry +10+10 -background '#e5e7eb' "$demo/workflow.png" 2>/dev/null ||
    montage "$demo"/[0-9][0-9]-*.png -tile 5x -geometry +10+10 "$demo/workflow.png"
show_records
echo
echo "contact sheet: $demo/workflow.png"
