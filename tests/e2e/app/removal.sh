#!/usr/bin/env bash
# The removal against an Office that is registered as Click-to-Run registers it: troubleshooters
# that take it away (the restart question only once both have ended), no msdt.exe and products
# removed through their own uninstall commands, and an uninstall that leaves its product registered
# (卸载失败！, no marker). Runs in the prefix kept for tests that change the prefix itself (one case
# takes msdt.exe away).
#   usage: removal.sh BUILD_DIR
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$1" "$(cd "$1" && pwd)/restart-wineprefix"
msdt=$WINEPREFIX/drive_c/windows/system32/msdt.exe
restore_msdt() { if [ -f "$msdt.hidden" ]; then mv -f "$msdt.hidden" "$msdt"; fi; }
trap 'e2e_cleanup; restore_msdt; unregister_click_to_run' EXIT
folder="$desktop_win\\Halden removal"
restart_question="卸载成功，需要重启电脑，然后再次运行本软件才能进行下载安装。现在就要重启吗？"
seconds_of() { date -d "$1" +%s.%N; }
# start_removal: the program started and 开始卸载 pressed.
start_removal() {
    make_program_folder "$folder"
    start_halden "$folder"
    drv wait main 60 >/dev/null || fail "$case_name: no main window"
    drv click main IDC_BTN_ACTION
}
# answer_prompt TEXT BUTTON: the next prompt shows TEXT; its time in $asked; BUTTON closes it.
answer_prompt() {
    drv wait prompt 120 >/dev/null || { fail "$case_name: no prompt"; return; }
    asked=$(date +%s.%N)
    expect "$case_name: prompt" "$(drv text prompt IDC_PROMPT_TEXT)" "$1"
    local clicked
    clicked=$(drv click prompt "$2")
    drv gone prompt 10 >/dev/null || fail "$case_name: the prompt stays (click: $clicked)"
}
c2r_call() {
    printf 'OfficeClickToRun.exe\t"%s" scenario=install scenariosubtype=ARP sourcetype=None productstoremove=%s.16_zh-cn_x-none culture=zh-cn version.16=16.0 DisplayLevel=False' \
        "$c2r_program_win" "$1"
}

case_name="troubleshooters remove Office"
scenario removal-troubleshooters
register_click_to_run HomeStudent2019Retail
export HALDEN_DOUBLE_MSDT_MS=3000 HALDEN_DOUBLE_MSDT_REMOVES='*'
start_removal
if drv wait wait 10 >/dev/null; then ok "$case_name: the please-wait box is up"; else fail "$case_name: the please-wait box is up"; fi
answer_prompt "$restart_question" IDC_PROMPT_SECOND
# Each troubleshooter's start and end, from the double's own record.
mapfile -t runs < <(tr -d '\r' <"$work/calls.txt" | awk -F'\t' '$2 == "msdt.exe" { print $1 }')
expect "$case_name: troubleshooter records (two starts, two ends)" "${#runs[@]}" "4"
if [ "${#runs[@]}" = 4 ]; then
    check "$case_name: the second troubleshooter starts after the first has ended (${runs[1]} / ${runs[2]})" \
        awk -v a="$(seconds_of "${runs[1]}")" -v b="$(seconds_of "${runs[2]}")" 'BEGIN { exit !(b >= a) }'
    check "$case_name: the question comes after both have ended (${runs[3]})" \
        awk -v a="$(seconds_of "${runs[3]}")" -v b="$asked" 'BEGIN { exit !(b >= a) }'
fi
expect "$case_name: what the troubleshooters removed" "$(double_notes | grep '^msdt' | cut -f2 | tr '\n' '|')" \
    "ended, removed HomeStudent2019Retail|ended, removed |"
expect "$case_name: no uninstall command needed" "$(double_calls | grep -c '^OfficeClickToRun')" "0"
expect "$case_name: registered afterwards" "$(registered_click_to_run)" ""
check "$case_name: marker written" marker_present
expect "$case_name: log" "$(program_log)" "卸载前已安装: HomeStudent2019Retail; 卸载项: HomeStudent2019Retail - zh-cn"
end_program

case_name="no msdt.exe"
scenario removal-no-msdt
mv "$msdt" "$msdt.hidden"
register_click_to_run HomeStudent2019Retail ProPlus2019Volume@32
start_removal
answer_prompt "$restart_question" IDC_PROMPT_SECOND
restore_msdt
expect "$case_name: each product through its own command, silently, by full path" \
    "$(double_calls | grep -v '^powershell')" "$(c2r_call HomeStudent2019Retail; echo; c2r_call ProPlus2019Volume)"
mapfile -t runs < <(tr -d '\r' <"$work/calls.txt" | awk -F'\t' '$2 == "OfficeClickToRun.exe" { print $1 "\t" $5 }')
expect "$case_name: one after another" "$(printf '%s\n' "${runs[@]}" | cut -f2 | tr '\n' '|')" \
    "|removed HomeStudent2019Retail||removed ProPlus2019Volume|"
expect "$case_name: registered afterwards" "$(registered_click_to_run)" ""
check "$case_name: marker written" marker_present
expect "$case_name: log" "$(program_log)" "$(printf '%s\n' \
    '卸载前已安装: HomeStudent2019Retail,ProPlus2019Volume; 卸载项: HomeStudent2019Retail - zh-cn, ProPlus2019Volume - zh-cn (32)' \
    '找不到故障排除程序 msdt.exe 跳过卸载步骤 4' '找不到故障排除程序 msdt.exe 跳过卸载步骤 5' \
    '卸载 HomeStudent2019Retail - zh-cn 退出码 0' '卸载 ProPlus2019Volume - zh-cn 退出码 0')"
end_program

case_name="an uninstall that leaves Office"
scenario removal-fails
register_click_to_run HomeStudent2019Retail
export HALDEN_DOUBLE_C2R_KEEPS=1 HALDEN_DOUBLE_POWERSHELL_EXIT=1
start_removal
answer_prompt "卸载失败！" IDC_PROMPT_FIRST
expect "$case_name: the uninstall ran" "$(double_calls | grep '^OfficeClickToRun')" "$(c2r_call HomeStudent2019Retail)"
check "$case_name: no marker" test ! -e "$(unix_of "$marker_win")"
expect "$case_name: still registered" "$(registered_click_to_run | tr '\n' '|')" "64	HomeStudent2019Retail - zh-cn|ids	HomeStudent2019Retail|"
expect "$case_name: log" "$(program_log)" "$(printf '%s\n' \
    '卸载前已安装: HomeStudent2019Retail; 卸载项: HomeStudent2019Retail - zh-cn' \
    '卸载步骤 1 退出码 1' '卸载步骤 2 退出码 1' '卸载步骤 3 退出码 1' '卸载 HomeStudent2019Retail - zh-cn 退出码 0' \
    '卸载当前系统的Office失败 仍已安装: HomeStudent2019Retail; 卸载项: HomeStudent2019Retail - zh-cn; 退出码: 1=1 2=1 3=1 4=0 5=0 [HomeStudent2019Retail - zh-cn]=0')"
expect "$case_name: ready again" "$(drv state main IDC_BTN_ACTION | cut -d' ' -f1,2) $(drv text main IDC_BTN_ACTION)" "visible enabled 开始卸载"
end_program
finish
