# shellcheck shell=bash
# What the end-to-end scenarios and the demo share beyond tests/e2e/lib.sh: the Wine prefix, program
# folders, the records of the doubles and of the stand-in feedback library, the program's log.
# Source it after setting `source` (the source tree).
. "$source/tests/e2e/lib.sh"

marker_win='C:\ProgramData\UninstallComplete.txt'
# The program's own working folder on drive C (the first with room) and the image in it.
image_folder_win='C:\HaldenImage'
image_win='C:\HaldenImage\HomeStudent2019Retail.img'
desktop_win='C:\users\Public\Desktop'
shipped_files=(Halden.exe Dravlin.dll libcurl.dll QuorinFeedbackInformation.dll O15CTRRemove.diagcab cssemerg97275.diagcab)

# e2e_setup BUILD_DIR PREFIX: Wine settings, the prefix made, the doubles in its system32. The test
# command names the prefix in HALDEN_WINE_PREFIX instead (tests/e2e/CMakeLists.txt).
e2e_setup() {
    build=$(cd "$1" && pwd)
    export WINEPREFIX=${HALDEN_WINE_PREFIX:-$2} WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    "$source/scripts/wine-prefix.sh" "$WINEPREFIX"
    local system32=$WINEPREFIX/drive_c/windows/system32
    # An interpreter that a run ended half way left hidden (HALDEN_DOUBLE_HIDE_CMD_AFTER) goes back.
    restore_interpreter
    cp -u "$build"/bin/doubles/*.exe "$system32/"
    # The program runs only a setup signed by Microsoft Corporation: the mount double puts a copy of
    # itself signed now with such a certificate on the drive (made again when the double is newer).
    # Scenarios of other prefixes may be doing the same at this moment: one signs, the others wait.
    local signed=$build/signing/e2e
    mkdir -p "$build/signing"
    (
        flock 9
        if [ ! "$signed/Setup64.exe" -nt "$build/bin/doubles/powershell.exe" ]; then
            "$source/scripts/sign-setup-double.sh" "$build" "Microsoft Corporation" "$signed" >/dev/null
        fi
    ) 9>"$build/signing/e2e.lock"
    export HALDEN_DOUBLES_SETUP
    HALDEN_DOUBLES_SETUP=$(windows_of "$signed")
    start_services
    clear_policy
}

# set_policy NAME VALUE: a string value of the program's policy key, as an organisation's Group
# Policy sets it; the program reads it at start. clear_policy removes the key.
set_policy() {
    local said status=0
    said=$(wine reg add 'HKLM\Software\Policies\Halden' /v "$1" /t REG_SZ /d "$2" /f </dev/null 2>&1) || status=$?
    [ "$status" = 0 ] || fail "cannot set the policy value $1 (reg: status $status, said: $(echo "$said" | tr -d '\r' | tr '\n' ' '))"
}
clear_policy() { wine reg delete 'HKLM\Software\Policies\Halden' /f </dev/null >/dev/null 2>&1 || true; }

# The prefix's services (the mount manager among them) start with the first program of a Wine
# session. A restart (wineboot --kill) ends them while the server lives on, and services that come
# back then may lack the mount manager (seen: the mount double's mount manager call failing with
# error 3): after a restart the session is begun anew (reboot), as a computer boots.
. "$source/scripts/wine-services.sh"
start_services() {
    if ! services_running; then
        wineserver -k 2>/dev/null || true
        wineserver -w
    fi
    # A persistent server, and services whose standard handles lead nowhere.
    "$source/scripts/wine-session.sh" "$WINEPREFIX"
}
reboot() {
    wineserver -k 2>/dev/null || true
    wineserver -w
    start_services
}

restore_interpreter() {
    local system32=$WINEPREFIX/drive_c/windows/system32
    if [ -f "$system32/cmd.exe.hidden-by-double" ]; then mv -f "$system32/cmd.exe.hidden-by-double" "$system32/cmd.exe"; fi
}

# unix_of 'C:\path': where that file of the prefix's drive C lies.
unix_of() {
    local path=${1#[Cc]:\\}
    echo "$WINEPREFIX/drive_c/${path//\\//}"
}

# windows_of /unix/path: the same file as Windows programs name it (through drive Z).
windows_of() {
    local path=${1//\//\\}
    echo "Z:$path"
}

# --- A scenario's own state ------------------------------------------------------------------------
# scenario NAME: records of its own for the doubles and the feedback library, no marker, no log, no
# image, no option of the doubles left from another scenario.
scenario() {
    echo "== $1"
    work_win="C:\\users\\Public\\halden-e2e\\$1"
    work=$(unix_of "$work_win")
    rm -rf "$work"
    mkdir -p "$work"
    export HALDEN_DOUBLES_RECORD="$work_win\\calls.txt"
    export HALDEN_FEEDBACK_CONFIG="$work_win\\feedback.ini"
    feedback_answers 1 0
    unset HALDEN_DOUBLE_MOUNT_NO_DRIVE HALDEN_DOUBLE_MOUNT_DELAY_MS HALDEN_DOUBLE_HIDE_CMD_AFTER HALDEN_DOUBLE_SETUP_STARTS_C2R \
        HALDEN_DOUBLE_NEIGHBOUR_DRIVE
    unset HALDEN_DOUBLE_POWERSHELL_EXIT HALDEN_DOUBLE_MSDT_MS HALDEN_DOUBLE_MSDT_REMOVES HALDEN_DOUBLE_C2R_KEEPS
    # The setup double registers what it installs, as the real one does; the ClickToRun key goes each time.
    export HALDEN_DOUBLE_SETUP_REGISTERS=1
    unset HALDEN_DOUBLE_SETUP_EXIT
    c2r_registered+=" HomeStudent2019Retail"
    unregister_click_to_run
    rm -rf "$(unix_of "$marker_win")" "$WINEPREFIX"/drive_c/HaldenImage* "$WINEPREFIX/drive_c/ProgramData/ToolLog" \
        "$WINEPREFIX"/drive_c/windows/[Ll]ogs/Halden \
        "$WINEPREFIX"/drive_c/ProgramData/*.moved
    dismount_all
}

# feedback_answers INIT NEW_VERSION: what the stand-in feedback library answers.
feedback_answers() {
    printf '[Answers]\r\nInit=%s\r\nNewVersion=%s\r\n[Record]\r\nPath=%s\r\n' "$1" "$2" "$work_win\\feedback.txt" \
        >"$work/feedback.ini"
}

# Images a scenario left attached are detached through the double itself.
dismount_all() {
    local state image
    for state in "$WINEPREFIX"/drive_c/ProgramData/HaldenDoubles/mounts/?.image; do
        [ -f "$state" ] || continue
        image=$(iconv -f UTF-16LE -t UTF-8 "$state" | tr -d '\0')
        HALDEN_DOUBLES_RECORD="C:\\ProgramData\\HaldenDoubles\\cleanup.txt" \
            wine powershell -command "Dismount-DiskImage -ImagePath \"$image\"" </dev/null >/dev/null 2>&1 || true
    done
    rm -f "$WINEPREFIX"/drive_c/ProgramData/HaldenDoubles/mounts/?.image  # the state of drives already gone
}

# register_click_to_run ID[@32]...: Click-to-Run products registered in the prefix as Office
# registers them: ProductReleaseIds (with Platform and VersionToReport) in Click-to-Run's
# configuration, and per product an uninstall entry "ID - zh-cn" (in the 32-bit registry view for
# ID@32) whose UninstallString runs OfficeClickToRun.exe, the double, placed where Office keeps it.
c2r_program_win='C:\Program Files\Common Files\Microsoft Shared\ClickToRun\OfficeClickToRun.exe'
c2r_registered=
register_click_to_run() {
    local product id ids='' lines=''
    mkdir -p "$(dirname "$(unix_of "$c2r_program_win")")"
    cp "$build/bin/doubles/powershell.exe" "$(unix_of "$c2r_program_win")"
    for product in "$@"; do
        id=${product%@32}
        ids=${ids:+$ids,}$id
        lines+=$(c2r_uninstall_entry "$id" "$([ "$product" != "$id" ] && echo 'Wow6432Node\')")
        c2r_registered+=" $product"
    done
    c2r_import "[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Office\ClickToRun\Configuration]
\"ProductReleaseIds\"=\"$ids\"
\"Platform\"=\"x64\"
\"VersionToReport\"=\"16.0.10417.20012\"
$lines"
}
c2r_uninstall_entry() {
    local escaped=${c2r_program_win//\\/\\\\}
    printf '\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\%sMicrosoft\\Windows\\CurrentVersion\\Uninstall\\%s - zh-cn]\n' "$2" "$1"
    printf '"DisplayName"="Microsoft Office 家庭和学生版 2019 - zh-cn"\n"Publisher"="Microsoft Corporation"\n'
    printf '"UninstallString"="\\"%s\\" scenario=install scenariosubtype=ARP sourcetype=None productstoremove=%s.16_zh-cn_x-none culture=zh-cn version.16=16.0"\n' \
        "$escaped" "$1"
}
# Takes away what register_click_to_run registered, whatever the doubles left of it.
unregister_click_to_run() {
    [ -n "$c2r_registered" ] || return 0
    local product id view lines='[-HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Office\ClickToRun]'
    for product in $c2r_registered; do
        id=${product%@32}
        # Not "$([ ... ] && echo ...)": its false test would be the assignment's status, and end a
        # caller under set -e.
        view=
        [ "$product" = "$id" ] || view='Wow6432Node\'
        lines+=$'\n'"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\${view}Microsoft\\Windows\\CurrentVersion\\Uninstall\\$id - zh-cn]"
    done
    c2r_import "$lines"
    c2r_registered=
}
# c2r_import TEXT: a registry file of TEXT imported into the prefix (UTF-16, as regedit wants for
# non-ASCII text).
c2r_import() {
    local reg
    reg=$(mktemp --suffix=.reg)
    printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n' "${1//$'\n'/$'\r\n'}" | iconv -f UTF-8 -t UTF-16LE |
        { printf '\xff\xfe'; cat; } >"$reg"
    wine regedit /S "$(windows_of "$reg")" </dev/null >/dev/null 2>&1
    rm -f "$reg"
}
# The Click-to-Run products the prefix's registry holds, one "view<TAB>key" a line.
registered_click_to_run() {
    local view
    for view in 64 32; do
        wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view </dev/null 2>/dev/null | tr -d '\r' |
            awk -v view=$view '/^HKEY/ { key = $0; sub(/.*\\/, "", key) } /OfficeClickToRun/ { print view "\t" key }'
    done
    wine reg query 'HKLM\SOFTWARE\Microsoft\Office\ClickToRun\Configuration' /v ProductReleaseIds </dev/null 2>/dev/null |
        tr -d '\r' | awk '/ProductReleaseIds/ { print "ids\t" $3 }'
}

# The marker as the program leaves it. The program names Administrators as its owner, which Wine
# does not keep: every file of the prefix's own Unix user reads as the process's user's, the
# program's marker as well as one written here (tests/e2e/README.md). plant_foreign_marker leaves
# one as another user would: a file of another Unix user reads as Anonymous Logon's.
plant_marker() { printf 'UNI\r\n' >"$(unix_of "$marker_win")"; }
plant_foreign_marker() { plant_marker && chown 65534:65534 "$(unix_of "$marker_win")"; }
marker_present() { [ -e "$(unix_of "$marker_win")" ]; }

# make_program_folder 'C:\folder': the shipped files of this build and the two troubleshooter packages.
make_program_folder() {
    local dir
    dir=$(unix_of "$1")
    # A program of an earlier case that ended normally deletes its files by name three seconds
    # later: a folder made anew meanwhile would lose the new copy's libraries under it.
    poll 60 removal_settled || fail "a removal of an earlier program's folder still runs after 60 s"
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$build/bin/Halden.exe" "$build/bin/Dravlin.dll" "$build/bin/libcurl.dll" \
        "$build/bin/QuorinFeedbackInformation.dll" "$dir/"
    printf 'troubleshooter package\r\n' >"$dir/O15CTRRemove.diagcab"
    printf 'troubleshooter package\r\n' >"$dir/cssemerg97275.diagcab"
}

# start_halden 'C:\folder': runs that folder's Halden.exe in the background as $program.
start_halden() {
    program_folder_win=$1
    park_cursor
    wine "$1\\Halden.exe" </dev/null >"$work/halden.out" 2>&1 &
    program=$!
}

# The hand off the screen's middle, where every dialog opens: Wine with no window manager may raise
# a pair's background above its own layer when the pair opens under the resting cursor (see README).
park_cursor() { drv move 5 5 >/dev/null; }

# end_program: ends a program a scenario is done with, or one that did not end by itself.
end_program() {
    end_job "${program:-}"
    program=
}

# ended_within SECONDS: Halden's process has ended within that time; its status in $status.
ended_within() {
    local waited=0
    status="(still running)"
    while job_running "$program"; do
        [ "$waited" -ge $(($1 * 10)) ] && return 1
        sleep 0.1
        waited=$((waited + 1))
    done
    status=0
    wait "$program" || status=$?
    program=
}

# The program removes its folder through a cmd.exe that it starts before it ends and that ends when
# the files are gone: once none runs, no removal is under way or still to come.
removal_settled() { [ "$(drv processes cmd.exe)" = 0 ]; }

# --- A second run of its own ----------------------------------------------------------------------
# begin NAME URL: a scenario with the marker, the program in $folder and the image from URL; press
# starts the program and presses the action button. $case_name names the checks.
begin() {
    scenario "$1"
    plant_marker
    make_program_folder "$folder"
    set_policy ImageUrl "$2"
}
press() {
    start_halden "$folder"
    drv wait main 60 >/dev/null || { fail "$case_name: no main window ($(program_fate))"; return; }
    drv click main IDC_BTN_ACTION
}
# How Halden's process is doing, and the last of what it printed: for a failure to say why.
program_fate() {
    local fate
    if job_running "$program"; then
        fate="still running"
    else
        fate=0
        wait "$program" 2>/dev/null || fate=$?
        fate="ended with status $fate"
        program=
    fi
    echo "$fate; its output: $(tail -c 300 "$work/halden.out" 2>/dev/null | tr '\n' ' ')"
}
# prompt_says TEXT [SECONDS]: the next prompt shows TEXT; 确认 closes it.
prompt_says() {
    drv wait prompt "${2:-60}" >/dev/null || { fail "$case_name: no prompt"; return; }
    expect "$case_name: prompt" "$(drv text prompt IDC_PROMPT_TEXT)" "$1"
    drv click prompt IDC_PROMPT_FIRST
    # Gone, or followed at once by the next prompt: either way no longer this text.
    local _
    for _ in $(seq 20); do
        drv gone prompt 0.5 >/dev/null && return
        [ "$(drv text prompt IDC_PROMPT_TEXT)" != "$1" ] && return
    done
    fail "$case_name: the prompt stays"
}

# start_link MIRROR_DIR CUT_MIB: tests/server/link_proxy.py in front of that mirror's HTTPS port,
# cutting every connection once CUT_MIB MiB have gone to the client (a reset). Sets link_url (the
# image through the link) and link_dir; link_bytes is what the link has sent, link_cuts how many
# connections it cut. It ends with the scenario's shell, or with stop_link.
start_link() {
    link_dir=$1/link
    mkdir -p "$link_dir"
    rm -f "$link_dir/port"
    python3 "$source/tests/server/link_proxy.py" --target "$(cat "$1/server/https_port")" \
        --port-file "$link_dir/port" --count-file "$link_dir/count" --cut-after-mib "$2" --time-limit 1800 \
        2>"$link_dir/log" &
    link_pid=$!
    poll 20 test -s "$link_dir/port" || fail "the link proxy did not start"
    link_url=$(sed "s|//localhost:[0-9]*/|//localhost:$(cat "$link_dir/port")/|" "$1/url")
}
link_bytes() { tr -d ' \n' <"$link_dir/count"; }
link_cuts() { grep -c ', then cut$' "$link_dir/log"; }
stop_link() { end_job "${link_pid:-}"; link_pid=; }

# Ends what a failed scenario left running, and the scenario's misbehaviours.
e2e_cleanup() {
    if [ -n "${program:-}" ]; then
        drv close main >/dev/null 2>&1 || true
        end_job "$program"
    fi
    stop_link
    restore_interpreter
    end_wine_session
}

# --- Evidence ----------------------------------------------------------------------------------------
# The doubles' calls (program TAB command line) in order, without the outcome lines.
double_calls() {
    tr -d '\r' 2>/dev/null <"$work/calls.txt" | awk -F'\t' '$5 == "" { print $2 "\t" $4 }'
}
# The doubles' notes (program TAB note).
double_notes() {
    tr -d '\r' 2>/dev/null <"$work/calls.txt" | awk -F'\t' '$5 != "" { print $2 "\t" $5 }'
}
feedback_calls() { tr -d '\r' 2>/dev/null <"$work/feedback.txt"; }
# The program's log, GBK on disk, as UTF-8 texts without their time prefix.
program_log() {
    iconv -f GBK -t UTF-8 "$WINEPREFIX/drive_c/ProgramData/ToolLog/Ostrel.txt" 2>/dev/null | tr -d '\r' | sed 's/^\[[^]]*\] *//'
}

# use_dpi DPI: after e2e_setup, makes the prefix report DPI (what the display settings write; read
# when the prefix's server starts). The same marker as the skin screenshots' prefix of that scale.
use_dpi() {
    [ -f "$WINEPREFIX/.halden-dpi-$1" ] && return 0
    (
        flock 9
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1
        wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f </dev/null >/dev/null 2>&1
        wineserver -k 2>/dev/null || true
        wineserver -w
        touch "$WINEPREFIX/.halden-dpi-$1"
    ) 9>"$WINEPREFIX.dpi.lock"
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1
}
