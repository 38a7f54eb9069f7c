# Whether the services and the persistent server of the Wine prefix $WINEPREFIX run (source it).

# The services: found by the prefix their process was started for.
services_running() {
    local pid
    for pid in $(pgrep -f 'system32.services\.exe' 2>/dev/null); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# The wineservers of this prefix, by process id. A server works in a folder named after the
# prefix's device and inode, both in hexadecimal.
prefix_servers() {
    local pid folder
    [ -d "$WINEPREFIX" ] || return 0
    folder=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    for pid in $(pgrep -x wineserver64 2>/dev/null); do
        [[ $(readlink "/proc/$pid/cwd" 2>/dev/null) == */"$folder" ]] && echo "$pid"
    done
    return 0
}

# A wineserver started with -p (never shuts down by itself) for this prefix.
persistent_server_running() {
    local pid
    for pid in $(prefix_servers); do
        tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | grep -qx -- -p && return 0
    done
    return 1
}
