#!/usr/bin/env bash
# Unattended runs, as a software distribution tool starts the program: no window, the outcome in the
# exit code (read in full by the driver's launcher: the shell gets 8 bits from Wine) and in the log,
# both phases by command line, the one-run path, a running copy (and a window beside it), a bad
# switch, a missing image, a link that cuts every connection, what stands at the /log name, an image
# with another SHA-256, and last the restart (under Wine it ends every program of the prefix).
#   usage: quiet.sh BUILD_DIR
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$1" "$(cd "$1" && pwd)/restart-wineprefix"
mirror=$build/e2e-mirror-quiet
shots=$build/screenshots/app/96dpi
trap 'e2e_cleanup; "$source/tests/e2e/app/mirror.sh" stop "$mirror"' EXIT
"$source/tests/e2e/app/mirror.sh" start "$mirror" 20
set_policy CaFile "$(windows_of "$mirror/ca.pem")"
# The command line wins over the policy: this address would fail.
set_policy ImageUrl "https://localhost:1/policy/HomeStudent2019Retail.img"
folder='C:\Program Files\Halden quiet'

# quietly ARGS...: the program with ARGS and /log into the scenario's folder; its exit code in $code.
# While it runs, any window on the display is noted in $work/windows.txt.
quietly() {
    : >"$work/windows.txt"
    drv run "$folder\\Halden.exe" "$@" /log "$work_win\\quiet.log" >"$work/code.txt" &
    local launcher=$!
    while job_running "$launcher"; do
        drv windows >>"$work/windows.txt"
        sleep 0.3
    done
    wait "$launcher"
    code=$(cat "$work/code.txt")
}
# The /log copy (UTF-8) without its time prefixes.
quiet_log() { tr -d '\r' <"$work/quiet.log" 2>/dev/null | sed 's/^\[[^]]*\] *//'; }
has() { quiet_log | grep -qF -- "$1"; }

# --- First phase, Office installed: removal, the marker, 3010 with /norestart -----------------------
scenario quiet-removal
make_program_folder "$folder"
register_click_to_run HomeStudent2019Retail
quietly /Quiet -NORESTART
expect "removal: exit code" "$code" "3010"
expect "removal: no window while it ran" "$(sort -u "$work/windows.txt")" ""
check "removal: marker written" marker_present
expect "removal: Office left registered" "$(registered_click_to_run)" ""
expect_match "removal: start and switches logged" "$(quiet_log | head -1)" '^静默运行开始 命令行 .*"/Quiet" "-NORESTART" "/log" '
for record in '没有卸载完成标记：卸载' '卸载前已安装: HomeStudent2019Retail' '卸载成功，需要重启 (/norestart)' \
    '静默运行结束 退出码 3010'; do
    check "removal: logged '$record'" has "$record"
done
# The troubleshooters wait for a person: skipped, and the registry decides all the same.
expect "removal: each command with its exit code and duration" \
    "$(quiet_log | grep -cE '^命令 .* 退出码 0 用时 [0-9]+\.[0-9] s$')" "4"
expect "removal: the troubleshooters skipped" "$(quiet_log | grep -c '^无人操作，跳过故障排除程序 ')" "2"
expect "removal: no troubleshooter started" "$(double_calls | grep -c '^msdt.exe')" "0"
expect "removal: the same records in the program's log (GBK)" "$(program_log)" "$(quiet_log)"

# --- Second phase from the marker: download, mount, signature, setup, clean-up, 0 ---------------------
scenario quiet-install
plant_marker
make_program_folder "$folder"
quietly /quiet /source "$(cat "$mirror/url")?throttle=4000000"
expect "install: exit code" "$code" "0"
expect "install: no window while it ran" "$(sort -u "$work/windows.txt")" ""
check "install: marker deleted" test ! -e "$(unix_of "$marker_win")"
check "install: image deleted" test ! -e "$(unix_of "$image_win")"
expect "install: progress every ten per cent" "$(quiet_log | sed -n 's/^下载进度 \([0-9]*\) %$/\1/p' | tr '\n' ' ')" \
    "0 10 20 30 40 50 60 70 80 90 100 "
expect_match "install: the download's end and its code" "$(quiet_log | grep '^下载结束')" '^下载结束 303 用时 [0-9.]+ s$'
check "install: the chosen drive" has '下载到磁盘 C:\'
expect_match "install: the image's drive and the setup's signer" "$(quiet_log | grep '^镜像盘')" \
    '^镜像盘 [D-Z]:\\ 安装程序 [D-Z]:\\Office\\Setup64.exe 签名者 Microsoft Corporation$'
expect_match "install: the setup's exit code" "$(quiet_log | grep 'setup64')" '^命令 cd /d [D-Z]:\\Office\\ & setup64 退出码 0 用时 '
check "install: the clean-up" has "清理 已结束 Click-to-Run 进程, 镜像文件 $image_win 已删除"
check "install: the result and the exit code" has '提示 安装完成！'
expect "install: last record" "$(quiet_log | tail -1)" '静默运行结束 退出码 0'
expect "install: the program's files stay" "$(ls "$(unix_of "$folder")" | wc -l)" "6"

# --- A setup that fails, or installs nothing, is a failure: its own Windows Installer code, or 1603 ---
# (and one that installs and asks for a restart is a success with its code)
for failing in "1618:1:1618:安装失败！" "17002:1:1603:安装失败！" "0:0:1603:安装失败！" "3010:1:3010:安装完成！请重启电脑后再使用 Office。"; do
    IFS=: read -r setup_exit registers expected prompt <<<"$failing"
    scenario "quiet-setup-$setup_exit-$registers"
    plant_marker
    make_program_folder "$folder"
    export HALDEN_DOUBLE_SETUP_EXIT=$setup_exit HALDEN_DOUBLE_SETUP_REGISTERS=$registers
    quietly /quiet /source "$(cat "$mirror/url")"
    expect "setup $setup_exit/$registers: exit code" "$code" "$expected"
    check "setup $setup_exit/$registers: the prompt as a record" has "提示 $prompt"
    check "setup $setup_exit/$registers: what the setup did" has \
        "安装程序 退出码 $setup_exit, $([ "$registers" = 1 ] || echo 未)登记 HomeStudent2019Retail"
    check "setup $setup_exit/$registers: cleaned up" test ! -e "$(unix_of "$image_win")"
done

# --- A bad switch, a running copy, an unreachable mirror ----------------------------------------------
scenario quiet-refusals
make_program_folder "$folder"
quietly /quiet /bogus /source
expect "bad switch: exit code" "$code" "87"
check "bad switch: the first fault logged, in the /log copy given after it" has '无法识别的参数 /bogus'
check "bad switch: nothing started" test ! -e "$work/calls.txt"
# Without /quiet a bad switch shows the usage as a prompt; 确认 ends the program with 87.
drv run "$folder\\Halden.exe" -Bogus >"$work/code.txt" &
launcher=$!
case_name="bad switch with windows"
shot usage-prompt prompt
prompt_says "$(printf '%s\n' '无法识别的参数 -Bogus' '用法: Halden.exe [/quiet] [/norestart] [/?]' '[/log 文件] [/source 地址] [/sha256 值]')" 30
wait "$launcher"
expect "bad switch with windows: exit code" "$(cat "$work/code.txt")" "87"
make_program_folder "$folder window"
start_halden "$folder window"
drv wait main 60 >/dev/null || fail "no main window for the running copy"
rm -f "$work/quiet.log"
quietly /quiet
expect "running copy: exit code" "$code" "1618"
# Nothing is made before the check, the /log file neither: the record is in the program's own log.
expect "running copy: logged, no /log made" "$(program_log | grep -c '另一个副本正在运行')/$(test -e "$work/quiet.log" && echo made)" "1/"
check "running copy: the window stays" drv wait main 1 >/dev/null
# The display probe of every case sees a window that is there.
check "running copy: the probe saw its window" grep -q '"Ostrel"' "$work/windows.txt"
drv close main >/dev/null
drv wait feedback 20 >/dev/null && drv click feedback 1002
ended_within 20 || end_program
# A second quiet copy with the first one's /log ends 1618 and leaves that log to the first.
plant_marker
drv run "$folder\\Halden.exe" /quiet /source "$(cat "$mirror/url")?throttle=1000000" /log "$work_win\\quiet.log" \
    >"$work/first.txt" &
first=$!
until grep -q '下载进度' "$work/quiet.log" 2>/dev/null || ! job_running "$first"; do sleep 0.3; done
drv run "$folder\\Halden.exe" /quiet /log "$work_win\\quiet.log" >"$work/code.txt"
expect "second quiet copy: exit code" "$(cat "$work/code.txt")" "1618"
# A window started beside it has nothing to bring forward: it says why, and ends as before.
drv run "$folder\\Halden.exe" >"$work/window.txt" &
case_name="a window beside a quiet copy"
prompt_says "本软件已在后台运行，请等它结束后再试！"
wait $!
expect "$case_name: exit code" "$(cat "$work/window.txt")" "0"
wait "$first"
expect "second quiet copy: the first ran on, its log whole" "$(cat "$work/first.txt")/$(quiet_log | grep -c '^静默运行开始')" "0/1"
plant_marker
# A missing image is not retried (a refused connection would be, for ten minutes).
quietly /quiet /source "$(cat "$mirror/url")?status=404"
expect "missing image: exit code (ERROR_NETWORK_UNREACHABLE)" "$code" "1231"
check "missing image: its ending code and why" has '下载失败 201 HTTP 404 Not Found'
check "missing image: its prompt as a record" has '提示 网络问题获取失败！'
check "missing image: no retry" test "$(quiet_log | grep -c '^下载重试')" = 0

# --- A link that cuts every connection after 8 MiB: retried by itself, a record per cut, 0 -----------
scenario quiet-cut
plant_marker
make_program_folder "$folder"
start_link "$mirror" 8
started=$SECONDS
quietly /quiet /source "$link_url"
took=$((SECONDS - started))
expect "cut link: exit code" "$code" "0"
cuts=$(link_cuts)
check "cut link: the link cut the download ($cuts)" test "$cuts" -ge 2
expect "cut link: a retry record per cut, with its reason and wait" \
    "$(quiet_log | grep -cE '^下载重试 网络中断，1 秒后重试（第 [0-9]+ 次） 原因 203 .+')" "$cuts"
check "cut link: installed" has '提示 安装完成！'
ok "cut link: the link sent $(link_bytes) bytes for the $(cat "$mirror/image.size") of the image in $took s"
stop_link

# --- The /log file: a plain file is replaced, read-only too; never through a link; else 1622 -------------
scenario quiet-log
make_program_folder "$folder"
printf 'an old log\r\n' >"$work/read-only.log"
chmod a-w "$work/read-only.log"
drv run "$folder\\Halden.exe" /quiet /? /log "$work_win\\read-only.log" >"$work/code.txt"
expect "read-only /log: replaced (exit code, old lines, usage lines)" \
    "$(cat "$work/code.txt") $(grep -c 'an old log' "$work/read-only.log") $(grep -c '用法' "$work/read-only.log")" "0 0 1"
printf 'the neighbour'"'"'s file\r\n' >"$work/target.txt"
ln -s "$work/target.txt" "$work/link.log"
mkdir -p "$work/their folder"
printf 'the neighbour'"'"'s log\r\n' >"$work/their folder/h.log"
ln -s "$work/their folder" "$work/linked folder"
for log in 'link.log' 'linked folder\h.log' 'no such folder\h.log'; do
    drv run "$folder\\Halden.exe" /quiet /log "$work_win\\$log" >"$work/code.txt"
    expect "/log $log: exit code (ERROR_INSTALL_LOG_FAILURE)" "$(cat "$work/code.txt")" "1622"
    expect "/log $log: the record in the program's log" "$(program_log | grep -cF "无法创建日志文件 $work_win\\$log ")" "1"
done
expect "links at /log: what they lead to, untouched" "$(tr -d '\r' <"$work/target.txt")|$(tr -d '\r' <"$work/their folder/h.log")|$(ls "$work/their folder")" \
    "the neighbour's file|the neighbour's log|h.log"
check "links at /log: nothing started" test ! -e "$work/calls.txt"

# --- A verified image: another SHA-256 is downloaded twice, then refused; the right one installs -------
scenario quiet-sha256
plant_marker
make_program_folder "$folder"
set_policy ImageSha256 "$(cat "$mirror/image.sha256" | tr 0-9a-f 1-9a-f0)"
quietly /quiet /source "$(cat "$mirror/url")"
expect "wrong SHA-256: exit code (ERROR_FILE_CORRUPT)" "$code" "1392"
expect "wrong SHA-256: downloads, checks that failed, the prompt" \
    "$(quiet_log | grep -c '^下载结束 303')/$(quiet_log | grep -c '^镜像文件 SHA-256 .* 不是要求的 ')/$(quiet_log | grep -c '^提示 下载文件校验失败！$')" "2/2/1"
check "wrong SHA-256: the image deleted" test ! -e "$(unix_of "$image_win")"
expect "wrong SHA-256: nothing mounted" "$(double_calls | grep -c Mount-DiskImage)" "0"
# The command line's digest wins over the policy's.
plant_marker
quietly /quiet /source "$(cat "$mirror/url")" /sha256 "$(tr a-f A-F <"$mirror/image.sha256")"
wine reg delete 'HKLM\Software\Policies\Halden' /v ImageSha256 /f </dev/null >/dev/null 2>&1
expect "right SHA-256: exit code" "$code" "0"
check "right SHA-256: checked before the mount" has "镜像文件 SHA-256 $(cat "$mirror/image.sha256") 校验通过"

# --- Nothing installed: removal, download and installation in one run, no restart --------------------
scenario quiet-one-run
make_program_folder "$folder"
# A password in the address reaches neither log.
quietly /quiet /source "$(sed 's|://|://admin:S3cret@|' "$mirror/url")"
expect "one run: exit code" "$code" "0"
expect "one run: no password in the logs" "$(quiet_log | grep -c S3cret)/$(program_log | grep -c S3cret)" "0/0"
check "one run: the address without it" has '下载 https://***@localhost:'
check "one run: no restart needed" has '卸载前没有 Office，不需要重启，继续下载并安装'
check "one run: installed" has '提示 安装完成！'
check "one run: marker gone" test ! -e "$(unix_of "$marker_win")"
expect "one run: no window while it ran" "$(sort -u "$work/windows.txt")" ""

# --- The restart: 1641 logged before the system ends the program (and under Wine the launcher) --------
scenario quiet-restart
make_program_folder "$folder"
register_click_to_run HomeStudent2019Retail
quietly /quiet
check "restart: logged with its code" has '已开始重启电脑 退出码 1641'
check "restart: marker written" marker_present
reboot
finish
