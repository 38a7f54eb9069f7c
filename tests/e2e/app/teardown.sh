#!/usr/bin/env bash
# The program ended in the middle of a download, as a session end or taskkill would end it (WM_CLOSE
# to the main window): the feedback dialog, then a prompt exit without a hang or a crash, the
# download stopped and its partial image kept for the next run, and the program's folder, which
# holds only the shipped files, removed.
#   usage: teardown.sh BUILD_DIR
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$1" "$(cd "$1" && pwd)/wineprefix"
mirror=$build/e2e-mirror/$(basename "$0" .sh)  # one each: scenarios run side by side
trap 'e2e_cleanup; "$source/tests/e2e/app/mirror.sh" stop "$mirror"' EXIT
"$source/tests/e2e/app/mirror.sh" start "$mirror" 40

scenario teardown
plant_marker
folder="$desktop_win\\Halden teardown"
make_program_folder "$folder"
set_policy ImageUrl "$(cat "$mirror/url")?throttle=2000000"
set_policy CaFile "$(windows_of "$mirror/ca.pem")"
start_halden "$folder"
drv wait main 60 >/dev/null || { fail "no main window"; finish; }
drv click main IDC_BTN_ACTION
drv until main IDC_STC_PROGRESS text=/s 20 >/dev/null || fail "the download did not start"
drv close main
if drv wait feedback 20 >/dev/null; then
    drv click feedback IDC_FEEDBACK_UNSOLVED
else
    fail "no feedback dialog"
fi
closed=$(date +%s.%N)
check "the program ends within 10 s of the answer" ended_within 10
took=$(awk -v a="$closed" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
echo "ended ${took} s after the answer, status $status"
expect "exit status" "$status" "0"
expect "feedback answer" "$(feedback_calls | grep CustomerFeedbackEx | cut -f4)" "2"
# Kept for the next run to resume, with the engine's companion; so is the marker.
check "the partial image kept" test -s "$(unix_of "$image_win")"
check "the marker kept" marker_present
expect "log" "$(program_log)" ""
for _ in $(seq 100); do
    [ -e "$(unix_of "$folder")" ] || break
    sleep 0.2
done
check "the folder with only the shipped files is removed" test ! -e "$(unix_of "$folder")"
expect "what the working folder holds afterwards (the download stopped)" "$(ls -A "$(unix_of "$image_folder_win")" | tr '\n' '|')" \
    "HomeStudent2019Retail.img|HomeStudent2019Retail.img.dravlin|"
finish
