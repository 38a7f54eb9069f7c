#!/usr/bin/env bash
# Draws every PNG of skin/res/ (ids 147 to 210) with ImageMagick and the WenQuanYi Zen Hei font.
# The results are committed, so building never needs an image tool; run this only to change the art.
#   usage: make-artwork.sh [OUTPUT_DIR]   (default skin/res)
#
# One palette for everything: a blue header, a light surface, white cards and footers. Faces that sit
# on the artwork without alpha are cut from the artwork they cover, so their corners blend exactly.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../skin/res}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

font=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
[ -f "$font" ] || { echo "make-artwork: install fonts-wqy-zenhei" >&2; exit 1; }
im() { convert "$@"; }

blue_dark='#1D4ED8' blue='#2563EB' blue_light='#3B82F6' blue_pale='#EFF4FF' blue_mist='#DCE6FB'
surface='#F4F7FB' ink='#1F2937' ink_soft='#64748B' line='#E2E8F0'
grey_fill='#D5DCE6' grey_text='#98A2B3' red='#E5484D' red_dark='#C53030'

# --- Control-layer artwork -------------------------------------------------------------------------

# A header band with a soft diagonal glow; $1 file, $2 width, $3 height.
header() {
    im -size "$3x$2" "gradient:$blue_dark-$blue" -rotate 90 \
       \( -size "$2x$3" xc:none -fill 'rgba(255,255,255,0.07)' \
          -draw "circle $(($2 * 4 / 5)),-$(($3 / 2)) $(($2 * 4 / 5 + $3 * 2)),-$(($3 / 2))" \
          -draw "circle $(($2 / 5)),$(($3 * 3 / 2)) $(($2 / 5 + $3)),$(($3 * 3 / 2))" \) \
       -composite "$1"
}

# Main control layer 148, 400 x 600: hero header, surface, white footer with a hairline.
header "$work/hero.png" 400 230
im -size 400x600 "xc:$surface" "$work/hero.png" -geometry +0+0 -composite \
   -fill white -draw "rectangle 0,566 399,599" -fill "$line" -draw "rectangle 0,565 399,565" \
   -font "$font" -fill white -pointsize 14 -annotate +16+22 'Office 安装助手' \
   -pointsize 24 -gravity north -annotate +0+92 'Office 家庭和学生版 2019' \
   -fill '#DBEAFE' -pointsize 13 -annotate +0+134 '卸载旧版本 · 重启电脑 · 下载并安装' \
   -fill "$ink_soft" -pointsize 12 -annotate +0+392 '第一次运行：卸载已安装的 Office，然后重启电脑' \
   -annotate +0+414 '再次运行：下载安装镜像并自动完成安装' \
   -annotate +0+436 '整个过程请保持网络连接，不要关闭本窗口' \
   -gravity none "$out/148.png"

# Prompt control layer 165, 320 x 140: header with its title, white body for the message.
header "$work/prompt-head.png" 320 34
im -size 320x140 xc:white "$work/prompt-head.png" -geometry +0+0 -composite \
   -font "$font" -fill white -pointsize 13 -annotate +12+22 '提示' "$out/165.png"

# Please-wait control layer 155, 204 x 104: a dark card with a ring of dots above the text.
im -size 204x104 'gradient:#1E293B-#0F172A' "$work/wait.png"
ring=()
for i in 0 1 2 3 4 5 6 7; do
    read -r x y < <(awk -v i="$i" 'BEGIN { a = i * 3.14159265 / 4; printf "%.1f %.1f\n", 102 + 10 * sin(a), 24 - 10 * cos(a) }')
    alpha=$(awk -v i="$i" 'BEGIN { printf "%.2f", 0.25 + 0.75 * i / 7 }')
    ring+=(-fill "rgba(147,197,253,$alpha)" -draw "circle $x,$y $(awk -v x="$x" 'BEGIN { print x + 2.2 }'),$y")
done
# Below the status text (which covers rows 42 to 82), a quiet hint.
im "$work/wait.png" "${ring[@]}" -font "$font" -pointsize 11 -fill '#64748B' -gravity north \
   -annotate +0+84 '请勿关闭本窗口' -gravity none "$out/155.png"

# Feedback control layer 182, 400 x 468: header, the question, white body.
header "$work/feedback-head.png" 400 34
im -size 400x468 xc:white "$work/feedback-head.png" -geometry +0+0 -composite \
   -font "$font" -fill white -pointsize 13 -annotate +14+22 '意见反馈' \
   -fill "$ink" -pointsize 19 -gravity north -annotate +0+78 '本工具解决您的问题了吗？' \
   -fill "$ink_soft" -pointsize 12 -annotate +0+110 '您的反馈将帮助我们做得更好' \
   -annotate +0+408 '感谢您的使用' -gravity none "$out/182.png"

# --- Backgrounds: the layer image framed by a translucent shadow exactly as wide as the insets -------

# $1 out, $2 layer image, $3 width, $4 height, $5-$8 insets l t r b, $9 blur sigma, $10 peak opacity.
shadowed() {
    local w=$3 h=$4 l=$5 t=$6 r=$7 b=$8
    im -size "${w}x${h}" xc:black -fill white \
       -draw "rectangle $((l - 1)),$((t)) $((w - r)),$((h - b + 1))" -blur "0x$9" \
       -evaluate multiply "${10}" -alpha off "$work/mask.png"
    im -size "${w}x${h}" 'xc:#0F172A' "$work/mask.png" -compose CopyOpacity -composite \
       "$2" -compose Over -geometry "+$l+$t" -composite -define png:color-type=6 "$1"
}
# 147 keeps a plain header so that the program's early screens stay readable before its layer exists.
header "$work/main-head.png" 400 44
im -size 400x600 "xc:$surface" "$work/main-head.png" -geometry +0+0 -composite "$work/main-inner.png"
shadowed "$out/147.png" "$work/main-inner.png" 410 611 5 4 5 7 2.2 0.42
shadowed "$out/164.png" "$out/165.png" 330 150 5 3 5 7 2.0 0.42
shadowed "$out/181.png" "$out/182.png" 410 479 5 4 5 7 2.2 0.42
# The please-wait box floats: a wide, fading shadow around a card that fills the inner rectangle.
shadowed "$out/154.png" "$out/155.png" 232 132 14 12 14 16 5.5 0.55

# --- Faces -----------------------------------------------------------------------------------------

# Cut $2 (geometry WxH+X+Y) from the artwork $1 into $3.
cut() { im "$1" -crop "$2" +repage -alpha off "$3"; }

# A rounded face with a centred label over a base image. $1 out, $2 base, $3 fill, $4 border (or
# none), $5 text colour, $6 label, $7 point size, $8 inset around the body, $9 radius, $10 text dy.
face() {
    local size w h
    size=$(identify -format '%w %h' "$2")
    read -r w h <<<"$size"
    local i=$8
    im "$2" -fill "$3" -stroke "$4" -strokewidth 1 \
       -draw "roundrectangle $i,$i $((w - 1 - i)),$((h - 1 - i)) $9,$9" -stroke none \
       -font "$font" -pointsize "$7" -fill "$5" -gravity center -annotate "+0+${10}" "$6" "$1"
}

# Four states of one opaque push button on artwork: $1 first id, $2 artwork, $3 geometry, $4 label,
# $5 size, $6 style (primary or plain). Three-image buttons pass "3" as $7 and get no disabled face.
button_set() {
    local id=$1 n=${7:-4}
    cut "$2" "$3" "$work/base.png"
    case $6 in
    primary)
        face "$out/$id.png" "$work/base.png" "$blue" none white "$4" "$5" 0 5 0
        face "$out/$((id + 1)).png" "$work/base.png" "$blue_light" none white "$4" "$5" 0 5 0
        face "$out/$((id + 2)).png" "$work/base.png" "$blue_dark" none '#E0E7FF' "$4" "$5" 0 5 1
        [ "$n" = 4 ] && face "$out/$((id + 3)).png" "$work/base.png" "$grey_fill" none "$grey_text" "$4" "$5" 0 5 0
        ;;
    plain)
        face "$out/$id.png" "$work/base.png" white '#CBD5E1' '#334155' "$4" "$5" 0 4 0
        face "$out/$((id + 1)).png" "$work/base.png" "$blue_pale" '#93B4F5' "$blue_dark" "$4" "$5" 0 4 0
        face "$out/$((id + 2)).png" "$work/base.png" "$blue_mist" '#6F96E8' "$blue_dark" "$4" "$5" 0 4 1
        [ "$n" = 4 ] && face "$out/$((id + 3)).png" "$work/base.png" '#F1F5F9' '#E2E8F0' '#A0AEC0' "$4" "$5" 0 4 0
        ;;
    esac
    return 0
}

# Main action button, 246 x 47 at (77, 270) of the layer.
button_set 193 "$out/148.png" 246x47+77+270 '开始卸载' 18 primary
button_set 156 "$out/148.png" 246x47+77+270 '下载并安装' 18 primary
# Prompt buttons, 55 x 24: the first stands centred (modes 1, 3) or left of centre, the second right.
button_set 178 "$out/165.png" 55x24+93+107 '是' 13 primary 3
button_set 175 "$out/165.png" 55x24+93+107 '确认' 13 primary 3
button_set 172 "$out/165.png" 55x24+172+107 '否' 13 plain 3
button_set 166 "$out/165.png" 55x24+172+107 '取消' 13 plain 3

# "更多工具": a text link, 58 x 18 at (50, 540), underlined while hovered.
cut "$out/148.png" 58x18+50+540 "$work/base.png"
link() {
    im "$work/base.png" -font "$font" -pointsize 12 -fill "$2" -gravity center -annotate +0+0 '更多工具' "$1"
    [ "${3:-}" = underline ] && im "$1" -fill "$2" -draw 'rectangle 5,15 52,15' "$1"
    return 0
}
link "$out/207.png" "$blue"
link "$out/208.png" "$blue_light" underline
link "$out/209.png" "$blue_dark" underline
link "$out/210.png" '#A0AEC0'

# Window buttons in a header: a glyph over the header they cover. $1 out, $2 base, $3 glyph draw
# primitives, $4 glyph colour, $5 backdrop (none or a colour).
glyph() {
    local size w h
    size=$(identify -format '%w %h' "$2")
    read -r w h <<<"$size"
    local back=()
    [ "$5" != none ] && back=(-fill "$5" -draw "rectangle 0,0 $((w - 1)),$((h - 1))")
    im "$2" "${back[@]}" -stroke "$4" -strokewidth "${6:-1.6}" -fill none -draw "$3" "$1"
}
cross26='line 8.5,12.5 17.5,21.5 line 17.5,12.5 8.5,21.5'
cut "$out/148.png" 26x34+368+0 "$work/base.png"
glyph "$out/150.png" "$work/base.png" "$cross26" white none
glyph "$out/151.png" "$work/base.png" "$cross26" white "$red"
glyph "$out/152.png" "$work/base.png" "$cross26" white "$red_dark"
glyph "$out/153.png" "$work/base.png" "$cross26" 'rgba(255,255,255,0.4)' none
minus26='line 8,17.5 18,17.5'
cut "$out/148.png" 26x34+340+0 "$work/base.png"
glyph "$out/160.png" "$work/base.png" "$minus26" white none
glyph "$out/161.png" "$work/base.png" "$minus26" white 'rgba(255,255,255,0.18)'
glyph "$out/162.png" "$work/base.png" "$minus26" white 'rgba(15,23,42,0.22)'
glyph "$out/163.png" "$work/base.png" "$minus26" 'rgba(255,255,255,0.4)' none
cross12='line 2.5,2.5 9.5,9.5 line 9.5,2.5 2.5,9.5'
small_close() {  # $1 first id, $2 artwork, $3 geometry, $4 number of faces
    cut "$2" "$3" "$work/base.png"
    glyph "$out/$1.png" "$work/base.png" "$cross12" 'rgba(255,255,255,0.85)' none 1.4
    glyph "$out/$(($1 + 1)).png" "$work/base.png" "$cross12" white "$red" 1.4
    glyph "$out/$(($1 + 2)).png" "$work/base.png" "$cross12" white "$red_dark" 1.4
    [ "$4" = 4 ] && glyph "$out/$(($1 + 3)).png" "$work/base.png" "$cross12" 'rgba(255,255,255,0.4)' none 1.4
    return 0
}
small_close 169 "$out/165.png" 12x12+294+8 3
small_close 183 "$out/182.png" 12x12+382+6 4

# Feedback answers, 266 x 60 with alpha: a 9-pixel transparent margin holding a soft shadow, the
# body 248 x 42 inside it (the owner's hit insets are those 9 pixels).
answer() {  # $1 out, $2 fill, $3 border, $4 text colour, $5 label, $6 shadow opacity, $7 dy
    im -size 266x60 xc:black -fill white -draw 'roundrectangle 9,11 256,52 7,7' -blur 0x3 \
       -evaluate multiply "$6" -alpha off "$work/amask.png"
    im -size 266x60 'xc:#1E3A8A' "$work/amask.png" -compose CopyOpacity -composite -compose Over \
       -fill "$2" -stroke "$3" -strokewidth 1 -draw 'roundrectangle 9,9 256,50 7,7' -stroke none \
       -font "$font" -pointsize 16 -fill "$4" -gravity center -annotate "+0+$7" "$5" \
       -define png:color-type=6 "$1"
}
answer_set() {  # $1 first id, $2 label, $3 style
    case $3 in
    primary)
        answer "$out/$1.png" "$blue" none white "$2" 0.35 0
        answer "$out/$(($1 + 1)).png" "$blue_light" none white "$2" 0.45 0
        answer "$out/$(($1 + 2)).png" "$blue_dark" none '#E0E7FF' "$2" 0.2 1
        ;;
    plain)
        answer "$out/$1.png" white '#CBD5E1' '#334155' "$2" 0.22 0
        answer "$out/$(($1 + 1)).png" "$blue_pale" '#93B4F5' "$blue_dark" "$2" 0.32 0
        answer "$out/$(($1 + 2)).png" "$blue_mist" '#6F96E8' "$blue_dark" "$2" 0.14 1
        ;;
    esac
    answer "$out/$(($1 + 3)).png" "$grey_fill" none "$grey_text" "$2" 0.1 0
}
answer_set 188 '问题已解决' primary
answer_set 197 '问题未解决' plain
answer_set 203 '更多方案' plain

# Check box strip 149, 48 x 16: unchecked, checked, and a third cell the program does not use.
im -size 48x16 xc:none \
   -fill white -stroke '#94A3B8' -strokewidth 1 -draw 'roundrectangle 1.5,1.5 14.5,14.5 3,3' \
   -fill "$blue" -stroke "$blue" -draw 'roundrectangle 17.5,1.5 30.5,14.5 3,3' \
   -fill none -stroke white -strokewidth 1.8 -draw 'polyline 20.5,8 23,10.8 28,5' \
   -fill "$grey_fill" -stroke "$grey_fill" -strokewidth 1 -draw 'roundrectangle 33.5,1.5 46.5,14.5 3,3' \
   -define png:color-type=6 "$out/149.png"

# Progress bar 456 x 20: a slate track and a blue fill with a light sheen, both rounded.
im -size 456x20 xc:none -fill '#8C9AAE' -draw 'roundrectangle 0,0 455,19 10,10' -define png:color-type=6 "$out/202.png"
im -size 20x456 "gradient:$blue_light-$blue_dark" -rotate 90 "$work/fill.png"
im -size 456x20 xc:none -fill white -draw 'roundrectangle 0,0 455,19 10,10' "$work/pill.png"
im "$work/fill.png" -alpha set \( -size 456x9 'xc:rgba(255,255,255,0.16)' \) -geometry +0+1 -composite \
   "$work/pill.png" -compose DstIn -composite -define png:color-type=6 "$out/201.png"

# Opaque images carry no alpha channel; the others keep theirs even where every pixel is opaque.
opaque=" 148 150 151 152 153 155 156 157 158 159 160 161 162 163 165 166 167 168 169 170 171 172 173 174 175 176 177 178 179 180 182 183 184 185 186 193 194 195 196 207 208 209 210 "
for f in "$out"/*.png; do
    id=$(basename "$f" .png)
    if [[ $opaque == *" $id "* ]]; then
        im "$f" -alpha off -strip -define png:color-type=2 -define png:exclude-chunks=date,time "$f"
    else
        im "$f" -strip -define png:color-type=6 -define png:exclude-chunks=date,time "$f"
    fi
done
echo "make-artwork: $(ls "$out"/*.png | wc -l) images in $out"
