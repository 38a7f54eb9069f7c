#!/usr/bin/env bash
# Start-up refusals: Windows 8.1, a feedback library that misses an export or is not ready, a
# newer version of the tool, and a download engine missing or of another version. Each shows its
# prompt, ends the program and leaves its folder in place.
#   usage: startup.sh BUILD_DIR
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$1" "$(cd "$1" && pwd)/wineprefix"
trap e2e_cleanup EXIT

# refused NAME TEXT FEEDBACK_CALLS MAIN_WINDOW [PROGRAM_NAME]: the program shows TEXT, ends after
# 确认 and its folder keeps every file; FEEDBACK_CALLS is what the stand-in library saw, MAIN_WINDOW
# whether the main window shows behind the prompt (shown) or not (absent: the checks come first).
refused() {
    local name=$1 text=$2 calls=$3 main_window=$4 program_name=${5:-Halden.exe} files
    files=$(ls "$(unix_of "$folder")" | sort | tr '\n' ' ')
    park_cursor
    local started=$SECONDS
    wine "$folder\\$program_name" </dev/null >"$work/halden.out" 2>&1 &
    program=$!
    if drv wait prompt 60 >/dev/null; then
        expect "$name: prompt" "$(drv text prompt IDC_PROMPT_TEXT)" "$text"
        if [ "$main_window" = absent ]; then check "$name: no main window" drv gone main 0; fi
        drv click prompt IDC_PROMPT_FIRST
    else
        fail "$name: no prompt$(job_running "$program" || echo "; the program had ended by $((SECONDS - started)) s: $(head -c 300 "$work/halden.out")")"
    fi
    if ended_within 15; then ok "$name: the program ends after the prompt"; else
        fail "$name: the program ends after the prompt ($(drv gone prompt 0 >/dev/null && echo "the prompt had closed" || echo "the prompt still showed"))"
        end_program  # so that the next case meets only its own program
    fi
    expect "$name: feedback library calls" "$(feedback_calls)" "$calls"
    kept+=("$name|$folder|$files")
}
# Checked at the end, once no removal of a folder runs any more.
kept=()
folders_kept() {
    local entry name folder files
    poll 30 removal_settled || fail "a removal of the program's folder still runs after 30 s"
    for entry in "${kept[@]}"; do
        IFS='|' read -r name folder files <<<"$entry"
        expect "$name: program's folder afterwards" "$(ls "$(unix_of "$folder")" | sort | tr '\n' ' ')" "$files"
    done
}

# rename_export LIBRARY NAME: the library as one without that export. The name's last letter becomes
# X: it keeps its length and its place in the sorted export table (the symbol table's copy changes too).
rename_export() {
    python3 - "$1" "$2" <<'PY'
import sys
path, name = sys.argv[1], sys.argv[2].encode()
data = open(path, "rb").read()
assert data.count(b"\0" + name + b"\0") >= 1
open(path, "wb").write(data.replace(b"\0" + name + b"\0", b"\0" + name[:-1] + b"X\0"))
PY
}

scenario windows-8.1
folder="$desktop_win\\Halden start-up 1"
make_program_folder "$folder"
# Wine reports another Windows version to programs of one name only; the prefix stays Windows 10.
mv "$(unix_of "$folder")/Halden.exe" "$(unix_of "$folder")/HaldenOnWindows81.exe"
wine reg add 'HKCU\Software\Wine\AppDefaults\HaldenOnWindows81.exe' /v Version /d win81 /f </dev/null >/dev/null 2>&1
refused "Windows 8.1" "此工具不支持当前系统" "" absent HaldenOnWindows81.exe

scenario library-not-ready
folder="$desktop_win\\Halden start-up 2"
make_program_folder "$folder"
feedback_answers 0 0
refused "library answers 0" "工具初始化失败" "$(printf 'InitFreedbackDll\t-> 0')" absent

scenario library-missing-an-export
folder="$desktop_win\\Halden start-up 3"
make_program_folder "$folder"
rename_export "$(unix_of "$folder")/QuorinFeedbackInformation.dll" OpenUseAgreementUrl
refused "library misses an export" "工具初始化失败" "" absent

scenario newer-version
folder="$desktop_win\\Halden start-up 4"
make_program_folder "$folder"
feedback_answers 1 3
refused "newer version" "检测到当前工具有新的版本更新，请下载最新版本使用。" \
    "$(printf 'InitFreedbackDll\t-> 1\nGetToolIsNewVersion\t"10075"\t"2.1.21.312"\t-> 3\nOpenToolDownUrl')" shown

scenario engine-missing
folder="$desktop_win\\Halden start-up 5"
make_program_folder "$folder"
rm "$(unix_of "$folder")/Dravlin.dll"
refused "download engine missing" "工具初始化失败" "" absent
expect_match "download engine missing: log" "$(program_log)" '^加载下载组件失败 C:\\users\\Public\\Desktop\\Halden start-up 5\\Dravlin\.dll [0-9]+$'

# A library of another version that lacks a function the program calls.
scenario engine-missing-an-export
folder="$desktop_win\\Halden start-up 6"
make_program_folder "$folder"
rename_export "$(unix_of "$folder")/Dravlin.dll" SetDownloadDriverFileErrorCallback
refused "download engine misses an export" "工具初始化失败" "" absent
expect_match "download engine misses an export: log" "$(program_log)" '^加载下载组件失败 C:\\users\\Public\\Desktop\\Halden start-up 6\\Dravlin\.dll 127$'
folders_kept
finish
