#!/usr/bin/env bash
# The program ended in the middle of a download, as a session end or taskkill would end it (WM_CLOSE
# to the main window): the feedback dialog, then a prompt exit without a hang or a crash, the
# download stopped, and the program's folder, which holds only the shipped files, removed.
#   usage: teardown.sh BUILD_DIR
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$1" "$(cd "$1" && pwd)/wineprefix"
mirror=$build/e2e-mirror
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
size=$(stat -c %s "$(unix_of "$image_win")" 2>/dev/null || echo 0)
check "a partial image ($size bytes)" test "$size" -gt 0 -a "$size" -lt "$(cat "$mirror/image.size")"
for _ in $(seq 100); do
    [ -e "$(unix_of "$folder")" ] || break
    sleep 0.2
done
check "the folder with only the shipped files is removed" test ! -e "$(unix_of "$folder")"
expect "the partial image no longer grows" "$(stat -c %s "$(unix_of "$image_win")" 2>/dev/null || echo 0)" "$size"
finish
