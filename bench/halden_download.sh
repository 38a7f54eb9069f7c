#!/usr/bin/env bash
# Halden's download of a 1 GiB image against dravlin-get fetching the same file, both under Wine in
# the same prefix, from the local mirror over HTTPS (unthrottled); and the user-interface thread's
# longest reply to a WM_NULL probe every 50 ms while Halden downloads, and then while it mounts the
# image, looks for its drive, checks the setup and installs. Prints figures; passes or fails nothing.
#   usage: bench/halden_download.sh [BUILD_DIR]     (default build/win64; ROUNDS=N, default 5;
#                                                     SIZE_MB=N, default 1024)
# Both times run from the first progress report to the ending, the engine's own events:
#   dravlin-get  from its first progress line to its "ending" line (its own start-up left out);
#   Halden       from the click on 下载并安装 (the progress bar shows before the engine starts) until
#                the progress bar hides at the ending, so Halden's figure includes its own work.
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$source/build/win64}")
rounds=${ROUNDS:-5}
size_mb=${SIZE_MB:-1024}
if [ ! -f "$build/build.ninja" ]; then
    cmake --preset win64 -B "$build" >/dev/null
fi
cmake --build "$build" >/dev/null
[ -n "${DISPLAY:-}" ] || exec "$source/scripts/with-display.sh" "$0" "$@"

. "$source/tests/e2e/app/lib.sh"
e2e_setup "$build" "$build/wineprefix"
mirror=$build/bench-mirror
trap 'e2e_cleanup; "$source/tests/e2e/app/mirror.sh" stop "$mirror"' EXIT
"$source/tests/e2e/app/mirror.sh" start "$mirror" "$size_mb"
url=$(cat "$mirror/url")
export DRAVLIN_CA_FILE=$(windows_of "$mirror/ca.pem")  # for dravlin-get
set_policy CaFile "$DRAVLIN_CA_FILE"  # for the program
bytes=$(cat "$mirror/image.size")
results=$build/bench-halden.txt
: >"$results"

# dravlin-get's output lines with the monotonic time each arrived; prints its transfer time.
dravlin_get_seconds() {
    wine "$build/bin/dravlin-get.exe" "$url" "$image_win" </dev/null 2>/dev/null | python3 -c '
import sys, time
first = end = None
for line in sys.stdin:
    now = time.monotonic()
    if line.startswith("task") and first is None:
        first = now
    if line.startswith("ending"):
        end = now
        ending = line.strip()
if first is None or end is None or "303" not in ending:
    sys.exit("dravlin-get did not finish: %s" % (ending if end else "no ending"))
print("%.3f" % (end - first))
'
}

echo "== $size_mb MiB from the local mirror over HTTPS under Wine, $rounds rounds, alternating"
for round in $(seq "$rounds"); do
    scenario "bench-dravlin-get-$round" >/dev/null
    seconds=$(dravlin_get_seconds)
    same=$(sha256sum <"$(unix_of "$image_win")" | cut -d' ' -f1)
    [ "$same" = "$(cat "$mirror/image.sha256")" ] || echo "  dravlin-get's file differs from the mirror's!"
    echo "dravlin-get $seconds" | tee -a "$results"

    scenario "bench-halden-$round" >/dev/null
    plant_marker
    folder="$desktop_win\\Halden bench"
    make_program_folder "$folder"
    set_policy ImageUrl "$url"
    start_halden "$folder"
    drv wait main 60 >/dev/null
    line=$(drv probe-download 1200)
    echo "  $line"
    seconds=$(sed -n 's/^download \([0-9.]*\) s.*/\1/p' <<<"$line")
    longest=$(sed -n 's/.*probes, longest reply \([0-9.]*\) ms.*/\1/p' <<<"$line")
    first=$(sed -n 's/.*first reply after the click \([0-9.]*\) ms.*/\1/p' <<<"$line")
    mounting=$(sed -n 's/.*longest reply after the download \([0-9.]*\) ms.*/\1/p' <<<"$line")
    echo "halden $seconds $longest $first ${mounting:-nan}" | tee -a "$results"
    # The mount double fingerprints what Halden downloaded; the setup and clean-up came before the prompt.
    drv wait prompt 600 >/dev/null && drv click prompt IDC_PROMPT_FIRST
    grep -q "sha256 $(cat "$mirror/image.sha256")" "$work/calls.txt" || echo "  Halden's image differs from the mirror's!"
    kill "$program" 2>/dev/null
    wait "$program" 2>/dev/null || true
    program=
done

python3 - "$results" "$bytes" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
mib = int(sys.argv[2]) / 2**20
get = [float(r[1]) for r in rows if r[0] == "dravlin-get"]
halden = [float(r[1]) for r in rows if r[0] == "halden"]
longest = max(float(r[2]) for r in rows if r[0] == "halden")
first = max(float(r[3]) for r in rows if r[0] == "halden")
mounting = max(float(r[4]) for r in rows if r[0] == "halden")
def line(name, times):
    return (f"{name}: median {statistics.median(times):.2f} s ({mib / statistics.median(times):.1f} MiB/s), "
            f"best {min(times):.2f} s ({mib / min(times):.1f} MiB/s), runs {', '.join(f'{t:.2f}' for t in times)}")
print()
print(line("dravlin-get", get))
print(line("Halden     ", halden))
print(f"Halden's throughput / dravlin-get's: {statistics.median(get) / statistics.median(halden):.3f} by medians, "
      f"{min(get) / min(halden):.3f} by best runs   (goal: at least 0.95)")
print(f"user-interface thread, longest reply while the image downloads: {longest:.1f} ms   (goal: under 100 ms)")
print(f"user-interface thread, longest reply through the mount, drive search, signature check and setup: {mounting:.1f} ms   (goal: under 100 ms)")
print(f"user-interface thread, reply to the first probe after the click (the please-wait box opening): up to {first:.1f} ms")
PY
