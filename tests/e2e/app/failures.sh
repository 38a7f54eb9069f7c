#!/usr/bin/env bash
# Every way the second run can fail, each in a program started for it: the prompt the person sees,
# the log record, the files and what the doubles did; after each the window is ready again. Also a
# mirror that cannot be reached, whose retries count down until a close; a link that cuts every
# connection, and a drive letter that comes late, both of which must still install (the latter with
# a close meanwhile, answered once the installation has reported); and a setup that is unsigned,
# signed by another maker or changed after signing, none of which may run. Runs in the prefix kept
# for tests that change the prefix itself (two cases hide the command interpreter).
#   usage: failures.sh BUILD_DIR
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$1" "$(cd "$1" && pwd)/restart-wineprefix"
mirror=$build/e2e-mirror/$(basename "$0" .sh)  # one each: scenarios run side by side
trap 'e2e_cleanup; "$source/tests/e2e/app/mirror.sh" stop "$mirror"' EXIT
"$source/tests/e2e/app/mirror.sh" start "$mirror" 40
url=$(cat "$mirror/url")
set_policy CaFile "$(windows_of "$mirror/ca.pem")"
folder="$desktop_win\\Halden failures"
image=$(unix_of "$image_win")

# The window is back in its ready state; the marker stays until an installation is done (ready_again
# installed: it was done, so the marker is gone).
ready_again() {
    expect "$case_name: ready again" \
        "$(drv gone wait 5 && drv state main IDC_BTN_ACTION | cut -d' ' -f1,2) $(drv text main IDC_BTN_ACTION) $(drv state main IDC_STC_PROGRESS | cut -d' ' -f1)" \
        "visible enabled 下载并安装 hidden"
    if [ "${1:-}" = installed ]; then
        check "$case_name: marker deleted" test ! -e "$(unix_of "$marker_win")"
    else
        check "$case_name: marker kept" marker_present
    fi
}

# A refused connection may be a network coming back: the box and the bar count down to the retry.
# A close during the wait ends it at once, as a close during the download does.
case_name="unreachable mirror"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
begin unreachable "https://localhost:$port/sg/492350f6-3a01-4f97-b9c0-c7c6ddf67d60/media/zh-CN/HomeStudent2019Retail.img"
press
countdown='无法连接服务器，[0-9]+ 秒后重试（第 [0-9]+ 次）'
# Read until seen: between two waits the box says 正在下载 again.
box_counts_down() { box=$(drv text wait IDC_STATUS_TEXT); [[ $box =~ ^$countdown$ ]]; }
bar_counts_down() { bar=$(drv text main IDC_STC_PROGRESS); [[ $bar =~ ^0\ %\ \ $countdown$ ]]; }
poll 60 box_counts_down
expect_match "$case_name: the box counts down" "$box" "^$countdown$"
poll 60 bar_counts_down
expect_match "$case_name: so does the bar" "$bar" "^0 %  $countdown$"
drv close main >/dev/null
drv wait feedback 20 >/dev/null || fail "$case_name: the close waited"
drv click feedback 1002
check "$case_name: the program ends after the answer" ended_within 20
expect_match "$case_name: log, each retry with its wait and reason" "$(program_log | sort -u | tr '\n' '|')" \
    "^(下载重试 $countdown 原因 201 [^|]+\\|)+$"
end_program

case_name="404"
begin missing "$url?status=404"
press
prompt_says "网络问题获取失败！"
ready_again
# A second press during the same run starts the same sequence again.
drv click main IDC_BTN_ACTION
prompt_says "网络问题获取失败！"
expect "$case_name: log, each failed attempt with the engine's code and the status" "$(program_log | tr '\n' '|')" \
    "下载失败 201 HTTP 404 Not Found|下载失败 201 HTTP 404 Not Found|"
end_program

# A link that cuts every connection after 8 MiB: each run is retried after a second and resumes the
# same file, so one press ends installed, with the mirror's bytes mounted.
case_name="every connection cut after 8 MiB"
start_link "$mirror" 8
begin cut "$link_url"
started=$SECONDS
press
# The percentage as it is shown, until the prompt: it never goes back across the cuts.
shown=()
until drv wait prompt 0.2 >/dev/null || [ $((SECONDS - started)) -gt 600 ]; do
    percent=$(drv text main IDC_STC_PROGRESS)
    [[ ${percent%% *} =~ ^[0-9]+$ ]] && shown+=("${percent%% *}")
done
expect "$case_name: the percentage never goes back (${#shown[@]} readings)" \
    "$(printf '%s\n' "${shown[@]}" | sort -n | tr '\n' ' ')" "$(printf '%s\n' "${shown[@]}" | tr '\n' ' ')"
prompt_says "安装完成！" 600
took=$((SECONDS - started))
size=$(cat "$mirror/image.size")
expect "$case_name: the image that reached the mount" "$(double_notes | grep -m1 -o '(image .*)$')" \
    "(image $size bytes sha256 $(cat "$mirror/image.sha256"))"
cuts=$(link_cuts)
check "$case_name: the link cut the download at least four times ($cuts)" test "$cuts" -ge 4
expect "$case_name: log, a retry after each cut and nothing else" \
    "$(program_log | sed -E 's/（第 [0-9]+ 次）/（第 N 次）/; s/ 原因 203 .+//' | sort | uniq -c | sed 's/^ *//')" \
    "$cuts 下载重试 网络中断，1 秒后重试（第 N 次）"
ok "$case_name: the link sent $(link_bytes) bytes for the $size of the image ($(($(link_bytes) - size)) over) in $took s"
ready_again installed
stop_link
end_program

case_name="image path not writable"
begin unwritable "$url"
mkdir -p "$image"  # a folder where the image belongs
press
prompt_says "下载文件保存失败！"
expect "$case_name: ready again" "$(drv state main IDC_BTN_ACTION | cut -d' ' -f1,2) $(drv state main IDC_STC_PROGRESS | cut -d' ' -f1)" \
    "visible enabled hidden"
# Nothing was started: the marker stays, so the user can clear the way and try again without
# another removal and restart; nothing was saved into the folder.
check "$case_name: marker kept" marker_present
check "$case_name: the folder untouched" test -z "$(ls -A "$image")"
end_program
rm -rf "$image"

case_name="no new drive"
begin no-drive "$url"
export HALDEN_DOUBLE_MOUNT_NO_DRIVE=1
press
drv wait prompt 60 >/dev/null
# From the mount double's answer to the prompt: the time the program looked for the drive.
attached=$(grep 'attached without a drive letter' "$work/calls.txt" | cut -f1)
searched=$(awk -v a="$(date -d "$attached" +%s.%N 2>/dev/null || echo 0)" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
check "$case_name: the drive was looked for before giving up (${searched} s)" awk -v s="$searched" 'BEGIN { exit !(s >= 9 && s < 60) }'
prompt_says "没有找到指定的安装装文件！" 10
ready_again
expect "$case_name: log" "$(program_log)" "没有找到指定的安装装文件 镜像没有盘符"
expect "$case_name: setup" "$(double_calls | grep -c '^Setup')" "0"
check "$case_name: image kept" test -f "$image"
end_program

case_name="drive letter comes late, closed meanwhile"
begin late-drive "$url"
export HALDEN_DOUBLE_MOUNT_DELAY_MS=3000
press
for _ in $(seq 600); do
    grep -q 'mounting [A-Z]: in' "$work/calls.txt" 2>/dev/null && break
    sleep 0.1
done
# The window answers while the drive is looked for, and keeps the close for when the work is done.
drv close main >/dev/null
check "$case_name: no feedback question while the image is mounted and installed" test "$(drv wait feedback 1 >/dev/null && echo up)" != up
prompt_says "安装完成！" 90
expect "$case_name: setup on the late drive" "$(double_notes | grep -c $'^HaldenLateDrive.exe\tmounted ')/$(double_calls | grep -c '^Setup64.exe')" "1/1"
check "$case_name: image deleted" test ! -e "$image"
expect "$case_name: log" "$(program_log)" ""
drv wait feedback 20 >/dev/null || fail "$case_name: the close was dropped"
drv click feedback 1002
check "$case_name: the program ends after the answer" ended_within 20
end_program

case_name="unsigned setup"
begin unsigned-setup "$url"
mkdir -p "$work/no signed setup"
HALDEN_DOUBLES_SETUP="$work_win\\no signed setup" press  # the mount double then puts itself, unsigned, on the drive
prompt_says "安装程序的数字签名无效，未安装任何内容！" 90
ready_again
expect_match "$case_name: log" "$(program_log)" '^安装程序签名无效 [D-Z]:\\Office\\Setup64\.exe 0x800B0100$'
expect "$case_name: setup, dismount" "$(double_calls | grep -c '^Setup')/$(double_notes | grep -c $'\tdismounted ')" "0/1"
check "$case_name: image kept" test -f "$image"
end_program

# A setup signed by another maker, and Microsoft's with one byte changed, are refused the same way.
refused_setups=$build/signing/refused
rm -rf "$refused_setups"
mkdir -p "$refused_setups/other maker" "$refused_setups/changed"
"$source/scripts/sign-setup-double.sh" "$build" "Contoso Software" "$refused_setups/other maker" >/dev/null
cp "$build/signing/e2e/Setup64.exe" "$refused_setups/changed/Setup64.exe"
printf '\xCC' | dd of="$refused_setups/changed/Setup64.exe" bs=1 seek=4096 conv=notrunc status=none
for refused in "other maker:0x00000000 签名者 Contoso Software" "changed:0x80096010"; do
    case_name="setup ${refused%%:*}"
    begin "setup-${refused%%:*}" "$url"
    HALDEN_DOUBLES_SETUP=$(windows_of "$refused_setups/${refused%%:*}") press
    prompt_says "安装程序的数字签名无效，未安装任何内容！" 90
    ready_again
    expect_match "$case_name: log" "$(program_log)" "^安装程序签名无效 [D-Z]:\\\\Office\\\\Setup64\\.exe ${refused#*:}( 签名者 .*)?\$"
    expect "$case_name: setup, dismount" "$(double_calls | grep -c '^Setup')/$(double_notes | grep -c $'\tdismounted ')" "0/1"
    check "$case_name: image kept" test -f "$image"
    end_program
done

case_name="setup cannot start"
begin setup-fails "$url"
export HALDEN_DOUBLE_HIDE_CMD_AFTER=mount
press
prompt_says "安装失败！" 90
restore_interpreter
ready_again
expect "$case_name: log" "$(program_log | sort | tr '\n' '|')" "安装失败|安装程序未能启动|"
expect "$case_name: setup, dismount" "$(double_calls | grep -c '^Setup')/$(double_calls | grep -c Dismount)" "0/0"
check "$case_name: image kept" test -f "$image"
end_program

# The setup's own word decides with the registry: a failure code is 安装失败！ with its record; the
# restart Windows Installer asks for after a good installation is success, with a note.
for ended in "1603:安装失败！" "3010:安装完成！请重启电脑后再使用 Office。"; do
    case_name="setup exits ${ended%%:*}"
    begin "setup-exits-${ended%%:*}" "$url"
    export HALDEN_DOUBLE_SETUP_EXIT=${ended%%:*}
    press
    prompt_says "${ended#*:}" 90
    if [ "${ended%%:*}" = 3010 ]; then ready_again installed; else ready_again; fi
    expect "$case_name: log" "$(program_log | tr '\n' '|')" \
        "安装程序 退出码 ${ended%%:*}, 登记 HomeStudent2019Retail|$([ "${ended%%:*}" = 1603 ] && echo '安装失败|')"
    check "$case_name: cleaned up as an installation" test ! -e "$image"
    end_program
done

case_name="dismount fails"
begin dismount-fails "$url"
export HALDEN_DOUBLE_HIDE_CMD_AFTER=setup
press
prompt_says "卸载镜像文件失败！" 90
prompt_says "安装完成！" 10
restore_interpreter
ready_again installed
expect "$case_name: log" "$(program_log)" "卸载镜像文件失败"
expect "$case_name: setup ran" "$(double_calls | grep -c '^Setup64.exe')" "1"
check "$case_name: image kept" test -f "$image"
end_program
finish
