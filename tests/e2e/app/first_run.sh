#!/usr/bin/env bash
# The first run as a person makes it: the main window's behaviours, the removal, 否 at the restart
# question and the removal again, then 是, which restarts (under Wine: ends every program of the
# prefix). Runs in the prefix kept for tests that end or change the prefix itself.
#   usage: first_run.sh BUILD_DIR
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$1" "$(cd "$1" && pwd)/restart-wineprefix"
shots=$build/screenshots/app/96dpi
trap e2e_cleanup EXIT

scenario first-run
folder="$desktop_win\\Halden first run"
make_program_folder "$folder"
start_halden "$folder"
drv wait main 60 >/dev/null || { fail "no main window"; finish; }
expect "title" "$(drv text main IDC_STC_TITLE)" "2.1.21.312"
expect "action label without the marker" "$(drv text main IDC_BTN_ACTION)" "开始卸载"
expect "tick box at start" "$(drv state main IDC_CHK_AGREE | cut -d' ' -f1-3)" "visible enabled checked"
expect "progress bar at start" "$(drv state main IDC_STC_PROGRESS | cut -d' ' -f1)" "hidden"
expect "start-up calls to the feedback library" "$(feedback_calls)" \
    "$(printf 'InitFreedbackDll\t-> 1\nGetToolIsNewVersion\t"10075"\t"2.1.21.312"\t-> 0')"

# A second copy (a double click too many) hands over to this one and ends at once, before it asks
# the feedback library anything. (Bringing a minimised copy back is not shown here: Wine leaves the
# layer on screen when its background is minimised from it.)
first=$program
wine "$folder\\Halden.exe" </dev/null >"$work/second-copy.out" 2>&1 &
program=$!
if ended_within 15; then ok "a second copy ends at once"; else fail "a second copy ends at once"; end_program; fi
expect "its exit status" "$status" "0"
program=$first
expect "copies running" "$(drv processes Halden.exe)" "1"
expect "feedback library calls after the second copy" "$(feedback_calls | grep -c InitFreedbackDll)" "1"
check "the running copy stays on screen" silent drv wait main 1

# The tick box disables and enables the action button.
drv click main IDC_CHK_AGREE
check "unticking disables the action button" drv until main IDC_BTN_ACTION disabled 5
expect "tick box after a click" "$(drv state main IDC_CHK_AGREE | cut -d' ' -f3)" "unchecked"
# Escape and Enter go to the layer, which has the focus now; the click queued after them re-ticks
# the box, so once the button is enabled again both keys have been handled.
drv key escape
drv key return
drv click main IDC_CHK_AGREE
check "ticking enables the action button" drv until main IDC_BTN_ACTION enabled 5
check "Escape and Enter leave the main window open" drv until main IDC_BTN_ACTION visible 1
# Space on the focused action button while the cursor is elsewhere: a press that slides off the
# button gives it the focus without a click.
drv press-out main IDC_BTN_ACTION
expect "focus after a press that slid off the action button" "$(drv focus main)" "$(resource_id IDC_BTN_ACTION)"
drv key space
drv click main IDC_CHK_AGREE
check "input after the space bar is handled" drv until main IDC_BTN_ACTION disabled 5
check "space with the cursor outside starts nothing" drv gone wait 0
expect "doubles called after the space bar" "$(double_calls | wc -l)" "0"
drv click main IDC_CHK_AGREE
drv until main IDC_BTN_ACTION enabled 5 >/dev/null

# The removal with no Office installed: five commands in order, the marker, the restart question.
removal_calls="$(printf '%s\n' \
    'powershell.exe	powershell -command "Get-AppXPackage *Office* -allUsers | Remove-AppXPackage"' \
    'powershell.exe	powershell -command "Get-AppXPackage *Office* -PackageTypeFilter bundle -allUsers | Remove-AppXPackage -allUsers"' \
    'powershell.exe	powershell -command "Get-AppXprovisionedPackage -online|Where-Object -filterScript {$_.displayname -like \"microsoft.office.desktop\"}|select-object -property packagename | REMOVE-AppxProvisionedPackage -online"' \
    "msdt.exe	\"C:\\windows\\system32\\msdt.exe\" /cab \"$folder\\O15CTRRemove.diagcab\"" \
    "msdt.exe	\"C:\\windows\\system32\\msdt.exe\" /cab \"$folder\\cssemerg97275.diagcab\"")"
restart_question="卸载成功，需要重启电脑，然后再次运行本软件才能进行下载安装。现在就要重启吗？"
drv click main IDC_BTN_ACTION
drv wait prompt 120 >/dev/null || fail "no restart question"
shot restart-question prompt
expect "restart question" "$(drv text prompt IDC_PROMPT_TEXT)" "$restart_question"
# Each troubleshooter has ended before the next step and the question: no Office is registered,
# so nothing else runs and nothing is logged.
expect "removal commands in order" "$(double_calls)" "$removal_calls"
check "marker written" marker_present

# 否: nothing more; the next press runs the whole removal again.
drv click prompt IDC_PROMPT_SECOND
check "the restart question closes on 否" drv gone prompt 10
expect "action label after 否" "$(drv text main IDC_BTN_ACTION)" "开始卸载"
drv click main IDC_BTN_ACTION
drv wait prompt 120 >/dev/null || fail "no restart question after the second press"
expect "removal commands after the second press" "$(double_calls)" "$(printf '%s\n%s' "$removal_calls" "$removal_calls")"
expect "feedback after 否" "$(feedback_calls | grep -c CustomerFeedbackEx)" "0"

# 是: the feedback record, then the restart ends the program with the rest of the prefix.
before=$(date +%s)
drv click prompt IDC_PROMPT_FIRST
check "the restart ends the program" ended_within 30
after=$(date +%s)
expect_match "restart recorded with the feedback library" "$(feedback_calls | grep CustomerFeedbackEx)" \
    '^CustomerFeedbackEx	"10075"	"2\.1\.21\.312"	1	"[0-9]+"$'
stamp=$(feedback_calls | sed -n 's/^CustomerFeedbackEx.*\t"\([0-9]*\)"$/\1/p')
check "its time text is the time of the answer" test "${stamp:-0}" -ge $((before - 2)) -a "${stamp:-0}" -le $((after + 2))
expect "the program's folder after the restart" "$(ls "$(unix_of "$folder")" | sort | tr '\n' ' ')" \
    "$(printf '%s\n' "${shipped_files[@]}" | sort | tr '\n' ' ')"
expect "log after a good removal" "$(program_log)" ""
reboot  # the next scenario in this prefix finds it as after a restart
finish
