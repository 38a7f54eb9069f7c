#!/usr/bin/env bash
# The second run with a hostile second user of the PC at work, who plants things from the shell at
# the moment each attack needs them (Wine has no ACLs, so the shell stands for what on Windows only
# the program's own folder DACL keeps out): a folder put where the image was, a disc of their own
# mounted as the program mounts, an old image held open, bytes written into the download, links
# where the image, the log and the marker go, an https address redirected to http. Each case checks
# what the person and the administrator would: the stranger's files survive, nothing foreign runs,
# only the mirror's bytes are mounted, nothing is written through a link.
#   usage: attacks.sh BUILD_DIR
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
e2e_setup "$1" "$(cd "$1" && pwd)/wineprefix"
mirror=$build/e2e-mirror/$(basename "$0" .sh)  # one each: scenarios run side by side
holder=
trap '[ -n "$holder" ] && touch "$work/let go"; e2e_cleanup; "$source/tests/e2e/app/mirror.sh" stop "$mirror"' EXIT
"$source/tests/e2e/app/mirror.sh" start "$mirror" 40
url=$(cat "$mirror/url")
set_policy CaFile "$(windows_of "$mirror/ca.pem")"
folder="$desktop_win\\Halden attacks"
image=$(unix_of "$image_win")
programdata=$WINEPREFIX/drive_c/ProgramData
mirrored="(image $(cat "$mirror/image.size") bytes sha256 $(cat "$mirror/image.sha256"))"

# documents DIR N: N files of someone's in DIR; their listing and contents as one line.
documents() {
    mkdir -p "$1"
    for n in $(seq "$2"); do printf 'document %s of the neighbour\r\n' "$n" >"$1/document $n.txt"; done
}
contents() { (cd "$1" && for f in *; do printf '%s=%s;' "$f" "$(tr -d '\r\n' <"$f")"; done); }
mounts() { double_calls | grep -c 'Mount-DiskImage'; }
# until_seen PATTERN: the doubles' record has a line matching PATTERN (up to 60 s).
until_seen() {
    local _
    for _ in $(seq 1200); do
        grep -qE "$1" "$work/calls.txt" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}

case_name="a folder at the image's name after the dismount"
begin swapped "$url"
# Where the image lay before this program had a folder of its own: a link to someone's documents.
documents "$work/linked documents" 5
ln -s "$work/linked documents" "$WINEPREFIX/drive_c/HomeStudent2019Retail.img"
press
# In the two seconds between the dismount and the deletion, the name leads to a folder of papers.
until_seen $'\tdismounted [A-Z]:' || fail "$case_name: no dismount"
mv "$image" "$work/the image, moved away"
documents "$image" 3
planted=$(contents "$image")
prompt_says "安装完成！" 30
expect "$case_name: the papers in the planted folder" "$(contents "$image")" "$planted"
expect "$case_name: the documents behind the old name" "$(ls "$work/linked documents" | wc -l)" "5"
expect "$case_name: log" "$(program_log)" "镜像文件未删除 C:\\HaldenImage\\HomeStudent2019Retail.img 已不是下载的镜像文件，未删除"
end_program
rm -f "$WINEPREFIX/drive_c/HomeStudent2019Retail.img"

case_name="a neighbour's disc mounted at the same moment"
begin neighbour "$url"
export HALDEN_DOUBLE_NEIGHBOUR_DRIVE=B HALDEN_DOUBLE_MOUNT_DELAY_MS=3000
press
prompt_says "安装完成！" 90
own=$(double_notes | sed -n 's/^HaldenLateDrive.exe\tmounted \([A-Z]\):$/\1/p')
expect "$case_name: the neighbour's disc came first" "$(double_notes | grep -c $'\ta neighbour mounted B:$')" "1"
expect "$case_name: the setups that ran" "$(tr -d '\r' <"$work/calls.txt" | awk -F'\t' '$2 ~ /^Setup/ && $5 == "" { print $2, $3 }')" \
    "Setup64.exe ${own:-?}:\\Office"
expect "$case_name: the image that reached the mount" "$(double_notes | grep -m1 -o '(image .*)$')" "$mirrored"
end_program

case_name="an old image held open, and a log that is someone's file"
begin held "$url"
mkdir -p "$(unix_of "$image_folder_win")"
printf 'an earlier attempt' >"$image"
# A scanner keeps the old image open without delete sharing, until it is told to let go.
drv hold "$image_win" "$work_win\\let go" >"$work/hold.out" &
holder=$!
for _ in $(seq 100); do grep -q holding "$work/hold.out" 2>/dev/null && break; sleep 0.1; done
# The log folder made beforehand by someone, its log a second name of their own file.
mkdir -p "$programdata/ToolLog"
printf 'the neighbour'"'"'s own notes\r\n' >"$work/notes.txt"
ln "$work/notes.txt" "$programdata/ToolLog/Ostrel.txt"
press
prompt_says "上次下载的镜像文件无法删除，请关闭正在使用它的程序后重试！"
check "$case_name: marker kept" marker_present
expect "$case_name: the old image" "$(cat "$image")" "an earlier attempt"
expect "$case_name: mounts" "$(mounts)" "0"
expect_match "$case_name: log" "$(program_log)" '^旧的镜像文件无法删除 C:\\HaldenImage\\HomeStudent2019Retail\.img \(32\)$'
expect "$case_name: the neighbour's notes" "$(tr -d '\r' <"$work/notes.txt")" "the neighbour's own notes"
expect "$case_name: names of the log file" "$(stat -c %h "$programdata/ToolLog/Ostrel.txt")" "1"
# Moved aside under a name nobody could have taken first.
expect "$case_name: the neighbour's name moved aside" "$(ls "$programdata/ToolLog" | grep -cE '^Ostrel\.txt\.[0-9a-f]{16}\.moved$')" "1"
touch "$work/let go"
wait "$holder" 2>/dev/null
holder=
end_program

case_name="a read-only file of the image's size"
begin readonly "$url"
mkdir -p "$(unix_of "$image_folder_win")"
head -c "$(cat "$mirror/image.size")" /dev/zero >"$image"
chmod a-w "$image"
press
# Never taken as complete: it cannot be deleted, so nothing starts.
prompt_says "上次下载的镜像文件无法删除，请关闭正在使用它的程序后重试！"
check "$case_name: marker kept" marker_present
expect "$case_name: mounts" "$(mounts)" "0"
expect_match "$case_name: log" "$(program_log)" '^旧的镜像文件无法删除 C:\\HaldenImage\\HomeStudent2019Retail\.img \([0-9]+\)$'
end_program

case_name="bytes written into the image during the download"
begin appended "$url?throttle=4000000"
press
for _ in $(seq 200); do [ "$(stat -c %s "$image" 2>/dev/null || echo 0)" -gt 4000000 ] && break; sleep 0.1; done
printf 'not from the mirror' >>"$image"
prompt_says "其他错误！" 60
expect "$case_name: mounts" "$(mounts)" "0"
end_program

case_name="links where the image and the log go"
begin links "$url"
mkdir -p "$(unix_of "$image_folder_win")"
printf 'a file of the neighbour\r\n' >"$work/victim.txt"
ln "$work/victim.txt" "$image"  # a second name of their file
documents "$work/log folder" 2
before=$(contents "$work/log folder")
ln -s "$work/log folder" "$programdata/ToolLog"
press
prompt_says "下载文件保存失败！"
rm -f "$image"
ln -s "$work/victim.txt" "$image"  # and a symbolic link, on the second press
drv click main IDC_BTN_ACTION
prompt_says "下载文件保存失败！"
expect "$case_name: the neighbour's file" "$(tr -d '\r' <"$work/victim.txt")" "a file of the neighbour"
# Windows opens a link itself and moves it aside; Wine opens its target even then, so the program
# leaves the link alone rather than move or write into the target, and logs where only
# administrators write.
expect "$case_name: the folder behind the log's link" "$(contents "$work/log folder")" "$before"
expect "$case_name: the records in the system's log folder" \
    "$(cat "$WINEPREFIX"/drive_c/windows/[Ll]ogs/Halden/Ostrel.txt 2>/dev/null | iconv -f GBK -t UTF-8 2>/dev/null | grep -c '无法创建镜像文件')" "2"
check "$case_name: marker kept" marker_present
expect "$case_name: mounts" "$(mounts)" "0"
end_program

case_name="https redirected to http"
begin downgraded "$url?redirect_to=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$(cat "$mirror/http_url")")"
press
prompt_says "网络问题获取失败！"
expect "$case_name: mounts" "$(mounts)" "0"
check "$case_name: nothing saved" test ! -s "$image"
end_program

case_name="ten names of the working folder planted"
begin planted-names "$url?throttle=4000000"
# The program's folder name and its ten old alternatives, each a file or a folder of someone else's.
printf 'a file of the neighbour\r\n' >"$WINEPREFIX/drive_c/HaldenImage"
for n in $(seq 2 10); do mkdir "$WINEPREFIX/drive_c/HaldenImage-$n"; done
chown -R 65534:65534 "$WINEPREFIX"/drive_c/HaldenImage*
press
# Closed half way, the image is found again in its folder of a name nobody could guess.
partial_grown() { [ "$(stat -c %s "$WINEPREFIX"/drive_c/HaldenImage-*/HomeStudent2019Retail.img 2>/dev/null || echo 0)" -gt 8000000 ]; }
poll 60 partial_grown || fail "$case_name: the download does not start"
drv close main
drv wait feedback 20 >/dev/null && drv click feedback IDC_FEEDBACK_SOLVED
check "$case_name: the program ends" ended_within 30
partial=$(ls -d "$WINEPREFIX"/drive_c/HaldenImage-*/HomeStudent2019Retail.img | sed 's|.*/drive_c/||; s|/HomeStudent2019Retail.img||')
expect_match "$case_name: the folder of the partial image" "$partial" '^HaldenImage-[0-9a-f]{16}$'
make_program_folder "$folder"
press
prompt_says "安装完成！" 90
expect "$case_name: the image mounted from that folder" "$(double_calls | grep -m1 '(Mount-DiskImage' | grep -o 'ImagePath \\"[^\\]*\\[^\\]*')" \
    "ImagePath \\\"C:\\$partial"
expect "$case_name: the image that reached the mount" "$(double_notes | grep -m1 -o '(image .*)$')" "$mirrored"
expect "$case_name: the planted names" "$(cd "$WINEPREFIX/drive_c" && stat -c '%U %F' HaldenImage HaldenImage-{2..10} | sort | uniq -c | tr -s ' ' | tr '\n' '|')" \
    " 9 nobody directory| 1 nobody regular file|"
end_program
rm -rf "$WINEPREFIX"/drive_c/HaldenImage*

case_name="a marker another user left"
scenario marker-foreign
make_program_folder "$folder"
plant_foreign_marker
start_halden "$folder"
drv wait main 60 >/dev/null || fail "$case_name: no main window"
expect "$case_name: the start is a first run" "$(drv text main IDC_BTN_ACTION)" "开始卸载"
check "$case_name: the marker's name is free" test ! -e "$(unix_of "$marker_win")"
expect "$case_name: what was moved aside" "$(stat -c '%U %s' "$programdata"/UninstallComplete.txt.*.moved)" "nobody 5"
end_program
rm -f "$programdata"/*.moved

case_name="a link at the marker's name during the removal"
scenario marker-link
make_program_folder "$folder"
start_halden "$folder"
drv wait main 60 >/dev/null || fail "$case_name: no main window"
# Once the program has looked for the marker, a second name of someone's letter takes its place.
printf 'a letter of the neighbour\r\n' >"$work/letter.txt"
ln "$work/letter.txt" "$(unix_of "$marker_win")"
drv click main IDC_BTN_ACTION
drv wait prompt 120 >/dev/null || fail "$case_name: no restart question"
drv click prompt IDC_PROMPT_SECOND
drv gone prompt 10 >/dev/null || fail "$case_name: the question stays"
expect "$case_name: the neighbour's letter" "$(tr -d '\r' <"$work/letter.txt")" "a letter of the neighbour"
expect "$case_name: the marker" "$(stat -c '%h %F' "$(unix_of "$marker_win")")" "1 regular file"
end_program
rm -f "$(unix_of "$marker_win")" "$programdata"/*.moved
finish
