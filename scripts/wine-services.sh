# Whether the services of the Wine prefix $WINEPREFIX run (source it): found by the prefix their
# process was started for.
services_running() {
    local pid
    for pid in $(pgrep -f 'system32.services\.exe' 2>/dev/null); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}
