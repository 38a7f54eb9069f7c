#!/usr/bin/env bash
# The second run as a person makes it, against the local mirror: download with progress, mount,
# setup from the new drive, clean-up, 安装完成！; then close, the feedback answer and the removal of
# the program's own files from a folder (with spaces in its path) that also holds a file of the user's.
#   usage: second_run.sh BUILD_DIR
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$1" "$(cd "$1" && pwd)/wineprefix"
shots=$build/screenshots/app/96dpi
mirror=$build/e2e-mirror/$(basename "$0" .sh)  # one each: scenarios run side by side
trap 'e2e_cleanup; "$source/tests/e2e/app/mirror.sh" stop "$mirror"' EXIT
"$source/tests/e2e/app/mirror.sh" start "$mirror" 40

scenario second-run
plant_marker
folder="$desktop_win\\Halden office tool 2019"
make_program_folder "$folder"
printf 'a note of the user\r\n' >"$(unix_of "$folder")/my notes.txt"
# A "bcrypt.dll" left beside the program, as in a Downloads folder. Wine prefers its own bcrypt
# unless told to search for it as Windows does; a program that imports libcurl at load time shows
# that the planted one is then taken.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;bcrypt=n,b" HALDEN_PLANTED_RECORD="$work_win\\planted.txt"
cp "$build/bin/planted/bcrypt.dll" "$(unix_of "$folder")/"
mkdir -p "$work/beside dravlin-get"
cp "$build"/bin/{dravlin-get.exe,Dravlin.dll,libcurl.dll,planted/bcrypt.dll} "$work/beside dravlin-get/"
wine "$work_win\\beside dravlin-get\\dravlin-get.exe" </dev/null >/dev/null 2>&1
planted_loaded_by() { tr -d '\r' <"$work/planted.txt" 2>/dev/null | sed 's/.*\\//'; }
expect "a program importing libcurl at load time takes the planted library" "$(planted_loaded_by)" "dravlin-get.exe"
# About ten seconds for 40 MB: long enough to watch the progress bar.
set_policy ImageUrl "$(cat "$mirror/url")?throttle=4000000"
set_policy CaFile "$(windows_of "$mirror/ca.pem")"
# The user's own environment reaches an elevated program too: it must not steer the download.
export HALDEN_IMAGE_URL="https://localhost:1/elsewhere/HomeStudent2019Retail.img" DRAVLIN_CA_FILE='C:\users\Public\not-an-authority.pem'
export HALDEN_DOUBLE_SETUP_STARTS_C2R=1
start_halden "$folder"
drv wait main 60 >/dev/null || { fail "no main window"; finish; }
expect "action label with the marker" "$(drv text main IDC_BTN_ACTION)" "下载并安装"
expect "the library left beside the program is not loaded at start-up" "$(planted_loaded_by)" "dravlin-get.exe"

drv click main IDC_BTN_ACTION
drv wait wait 20 >/dev/null || fail "no please-wait box"
expect "please-wait text while downloading" "$(drv text wait IDC_STATUS_TEXT)" "正在下载，请稍等"
drv until main IDC_STC_PROGRESS text=/s 20 >/dev/null
progress=$(drv text main IDC_STC_PROGRESS)
expect_match "progress shows a percentage and a speed" "$progress" '^[0-9]{1,3} %  [0-9]+\.[0-9]{2}(B|kB|M|G)/s$'
shot downloading main 60 once
check "marker kept while the download runs" marker_present
# A later reading shows progress made: polled, as a loaded machine may take a while between readings.
grown() {
    later=$(drv text main IDC_STC_PROGRESS)
    [[ ${later%% *} =~ ^[0-9]+$ ]] && { [ "${later%% *}" -gt "${progress%% *}" ] || [ "${later%% *}" = 100 ]; }
}
if poll 30 grown; then ok "the percentage grows (${progress%% *} then ${later%% *})"; else
    fail "the percentage grows: ${progress%% *} %, then '${later:-}' for 30 s"
fi

drv wait prompt 120 >/dev/null || fail "no prompt after the installation"
shot install-complete prompt
expect "result" "$(drv text prompt IDC_PROMPT_TEXT)" "安装完成！"

# What the doubles saw: the exact image path, the same bytes the mirror served, setup from the new
# drive, Click-to-Run ended, dismount, image deleted.
mounted=$(double_notes | sed -n 's/^powershell.exe\tmounted \([A-Z]\): .*/\1/p' | head -1)
expect "mount command" "$(double_calls | grep -m1 Mount-DiskImage)" \
    'powershell.exe	powershell -command "(Mount-DiskImage -ImagePath \"C:\HaldenImage\HomeStudent2019Retail.img\" -PassThru | Get-Volume).DriveLetter"'
expect "image that reached the mount" "$(double_notes | grep -m1 -o '(image .*)$')" \
    "(image $(cat "$mirror/image.size") bytes sha256 $(cat "$mirror/image.sha256"))"
expect "setup program and its folder" "$(tr -d '\r' <"$work/calls.txt" | awk -F'\t' '$2 ~ /^Setup/ { print $2, $3 }')" \
    "Setup64.exe ${mounted:-?}:\\Office"
expect "Click-to-Run started by the setup" "$(double_notes | grep -c $'^Setup64.exe\tstarted 2$')" "1"
expect "Click-to-Run processes left" "$(drv processes OfficeClickToRun.exe) $(drv processes OfficeC2RClient.exe)" "0 0"
expect "dismount command" "$(double_calls | grep -m1 Dismount-DiskImage)" \
    'powershell.exe	powershell -command "Dismount-DiskImage -ImagePath \"C:\HaldenImage\HomeStudent2019Retail.img\""'
expect "drive after the dismount" "$(double_notes | grep -c $'^powershell.exe\tdismounted '"${mounted:-?}:$")" "1"
check "image deleted" test ! -e "$(unix_of "$image_win")"
expect "what the working folder holds afterwards" "$(ls -A "$(unix_of "$image_folder_win")" | tr '\n' '|')" ""
check "marker deleted once installed" test ! -e "$(unix_of "$marker_win")"

drv click prompt IDC_PROMPT_FIRST
drv gone prompt 10 >/dev/null || fail "the result prompt stays"
expect "main window ready again" "$(drv state main IDC_BTN_ACTION | cut -d' ' -f1,2) $(drv text main IDC_BTN_ACTION)" "visible enabled 下载并安装"
expect "progress bar after the installation" "$(drv state main IDC_STC_PROGRESS | cut -d' ' -f1)" "hidden"
expect "log after a good installation" "$(program_log)" ""

# Close: the feedback dialog first, and only after the answer the removal of the shipped files.
drv click main IDC_BTN_CLOSE
drv wait feedback 20 >/dev/null || fail "no feedback dialog on close"
shot feedback feedback
expect "program's folder while the feedback dialog shows" "$(ls "$(unix_of "$folder")" | wc -l)" "8"
expect "folder removal before the answer" "$(double_calls | grep -c '^timeout.exe')" "0"
drv click feedback IDC_FEEDBACK_SOLVED
check "the program ends after the answer" ended_within 20
expect "exit status" "$status" "0"
expect "feedback answer" "$(feedback_calls | grep CustomerFeedbackEx | cut -f1-4)" 'CustomerFeedbackEx	"10075"	"2.1.21.312"	1'
for _ in $(seq 100); do
    [ -e "$(unix_of "$folder")/Halden.exe" ] || break
    sleep 0.2
done
expect "program's folder after the removal" "$(ls "$(unix_of "$folder")" | tr '\n' '|')" "bcrypt.dll|my notes.txt|"
expect "the library left beside the program was never loaded" "$(planted_loaded_by)" "dravlin-get.exe"
expect_match "the removal waited three seconds" "$(double_calls | grep '^timeout.exe' | cut -f2)" '^timeout /t 3 /nobreak *$'

# --- A close half way and a crash half way: the second run again, and only what was missing -----
# The mirror behind a link that counts every byte it hands over (headers included), over plain HTTP
# so that the count is the download's own.
scenario resume
plant_marker
make_program_folder "$folder"
python3 "$source/tests/server/link_proxy.py" --target "$(cat "$mirror/server/port")" --port-file "$work/link.port" \
    --count-file "$work/link.count" 2>"$work/link.err" &
link=$!
poll 30 test -s "$work/link.port" || fail "resume: the counting link does not listen"
image_url=$(cat "$mirror/url")
set_policy ImageUrl "http://127.0.0.1:$(cat "$work/link.port")/${image_url#https://*/}?throttle=2000000"
size=$(cat "$mirror/image.size")
image=$(unix_of "$image_win")
on_disk() { stat -c %s "$image" 2>/dev/null || echo 0; }
sent() { tr -d ' \n' <"$work/link.count"; }
beyond() { [ "$(on_disk)" -gt "$1" ]; }
# start_download: a start of the program that is the second run again, pressed.
start_download() {
    start_halden "$folder"
    drv wait main 60 >/dev/null || fail "resume, $1: no main window"
    expect "resume, $1: the start is the second run again" "$(drv text main IDC_BTN_ACTION)" "下载并安装"
    drv click main IDC_BTN_ACTION
}
kept() {
    check "resume, $1: the partial image kept" test -s "$image"
    check "resume, $1: the engine's companion kept" test -s "$image.dravlin"
    check "resume, $1: the marker kept" marker_present
}

start_download "a close half way"
poll 120 beyond $((size / 4)) || fail "resume: the download does not get a quarter of the way ($(on_disk) bytes)"
drv close main
drv wait feedback 20 >/dev/null && drv click feedback IDC_FEEDBACK_SOLVED
check "resume, a close half way: the program ends" ended_within 30
kept "a close half way"
kept1=$(on_disk) sent1=$(sent)

make_program_folder "$folder"  # the close removed the program's own files
start_download "a crash half way"
poll 120 beyond $((kept1 + size / 4)) || fail "resume: the resumed download does not go on ($(on_disk) bytes)"
wine taskkill /f /im Halden.exe </dev/null >/dev/null 2>&1
check "resume, a crash half way: the program ends" ended_within 30
kept "a crash half way"
kept2=$(on_disk)
# As a crash during the mount would leave it: the partial image attached.
wine powershell -command "Mount-DiskImage -ImagePath \"$image_win\"" </dev/null >/dev/null 2>&1
left=$(double_notes | sed -n 's/^powershell.exe\tmounted \([A-Z]\): .*/\1/p' | tail -1)

# A killed program's socket can outlive it under Wine (the server holds it), and the link then fills
# the buffers between them: what the last run fetched is counted by its own connections.
opened=$(grep -c ': open$' "$work/link.err")
start_download "after the crash"
drv wait prompt 120 >/dev/null || fail "resume: no prompt after the installation"
expect "resume: result" "$(drv text prompt IDC_PROMPT_TEXT)" "安装完成！"
expect_match "resume: the image left attached was detached before anything else" \
    "$(double_notes | grep -E $'^powershell.exe\t(mounted|dismounted) ' | cut -f2 | sed 's/ (image.*//' | tr '\n' '|')" \
    "^mounted ${left:-?}:\\|dismounted ${left:-?}:\\|mounted [A-Z]:\\|dismounted [A-Z]:\\|$"
expect "resume: the image that reached the mount" "$(double_notes | grep -o '(image .*)$' | tail -1)" \
    "(image $size bytes sha256 $(cat "$mirror/image.sha256"))"
check "resume: the marker deleted once installed" test ! -e "$(unix_of "$marker_win")"
drv click prompt IDC_PROMPT_FIRST
end_program
# last_run_lines KIND: the lines of the last run's connections that say KIND.
last_run_lines() { awk -v after="$opened" -F'[ :]+' -v kind="$1" '$3 > after && $0 ~ kind' "$work/link.err"; }
all_ended() { [ "$(last_run_lines 'bytes to the client' | wc -l)" = "$(last_run_lines ': open$' | wc -l)" ]; }
poll 30 all_ended || fail "resume: the last run's connections did not end"
last=$(last_run_lines 'bytes to the client' | awk -F'[ :]+' '{ s += $4 } END { print s + 0 }')
sent3=$(sent)
# What each part sent beyond what it added to the file; from zero it would be the whole image. The
# close and the crash lose what was on its way (the buffers between the link and the program).
echo "resume: bytes sent over the image's size $((sent3 - size)): close $((sent1 - kept1)), crash and what its socket took after it $((sent3 - last - sent1 - (kept2 - kept1))), last run $((last - (size - kept2))) (image $size, kept $kept1 then $kept2)"
if [ $((last - (size - kept2))) -lt 65536 ] && [ $((sent1 - kept1)) -lt $((size / 8)) ]; then
    ok "resume: only what was missing was downloaded"
else
    fail "resume: the last run fetched $last bytes for the $((size - kept2)) missing; the close cost $((sent1 - kept1))"
fi
end_job "$link"
finish
