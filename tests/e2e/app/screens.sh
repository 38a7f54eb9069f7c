#!/usr/bin/env bash
# The main window in both branches at a display scale, photographed and measured: the background's
# size and the action button's place and size in the layer.
#   usage: screens.sh BUILD_DIR DPI     (96 uses the build's prefix, others wineprefix-<DPI>dpi)
set -uo pipefail
source=$(cd "$(dirname "$0")/../../.." && pwd)
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"
. "$source/tests/e2e/app/lib.sh"
dpi=$2
if [ "$dpi" = 96 ]; then
    e2e_setup "$1" "$(cd "$1" && pwd)/wineprefix"
else
    e2e_setup "$1" "$(cd "$1" && pwd)/wineprefix-${dpi}dpi"
    use_dpi "$dpi"
fi
shots=$build/screenshots/app/${dpi}dpi
trap e2e_cleanup EXIT
# Where a person measures them on Windows.
case $dpi in
    96) background=410x611 button="77 270 246 47" ;;
    120) background=492x733 button="92 324 295 56" ;;
    *) echo "no measures known at $dpi dpi" >&2; exit 2 ;;
esac

for branch in remove install; do
    scenario "screens-$branch-${dpi}dpi"
    [ "$branch" = install ] && plant_marker
    folder="$desktop_win\\Halden screens"
    make_program_folder "$folder"
    start_halden "$folder"
    geometry=$(drv wait main 60) || { fail "$branch: no main window"; continue; }
    read -r _ _ width height _ <<<"$geometry"
    expect "$branch at $dpi dpi: background size" "${width}x$height" "$background"
    expect "$branch at $dpi dpi: action button in the layer" "$(drv state main IDC_BTN_ACTION | cut -d' ' -f4-)" "$button"
    shot "main-$branch" main
    end_job "$program"
    program=
done
finish
