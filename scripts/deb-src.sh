# Source entries for the machine's own binary entries, so that `apt-get source` finds its packages
# on the same mirror. Sourced by build-win-curl.sh. Debian keeps its sources in either format:
# deb822 stanzas in sources.list.d/*.sources (as new images do) or one-line entries in sources.list
# and sources.list.d/*.list (as the installer and debootstrap write them); both are read.

# write_deb_src ROOT: writes ROOT/etc/apt/sources.list.d/halden-deb-src.{sources,list} from ROOT's
# binary entries (ROOT is empty for this machine). Fails when the machine has no binary entry.
write_deb_src() {
    local dir=$1/etc/apt/sources.list.d
    local stanzas=$dir/halden-deb-src.sources lines=$dir/halden-deb-src.list
    local -a deb822=() oneline=()
    local f
    for f in "$dir"/*.sources; do
        [ -f "$f" ] && [ "$f" != "$stanzas" ] && deb822+=("$f")
    done
    for f in "$1/etc/apt/sources.list" "$dir"/*.list; do
        [ -f "$f" ] && [ "$f" != "$lines" ] && oneline+=("$f")
    done
    mkdir -p "$dir"
    # A stanza is kept only when its types include deb; it then names deb-src alone.
    if [ ${#deb822[@]} -gt 0 ]; then
        awk 'function flush() { if (isdeb) printf "%s\n", stanza; stanza = ""; isdeb = 0 }
             /^[ \t]*$/ { flush(); next }
             /^Types:/ { isdeb = ($0 ~ /[: \t]deb([ \t]|$)/); $0 = "Types: deb-src" }
             { stanza = stanza $0 "\n" }
             END { flush() }' "${deb822[@]}" >"$stanzas.tmp"
    else
        : >"$stanzas.tmp"
    fi
    if [ ${#oneline[@]} -gt 0 ]; then
        sed -n 's/^[ \t]*deb\([ \t]\)/deb-src\1/p' "${oneline[@]}" >"$lines.tmp"
    else
        : >"$lines.tmp"
    fi
    local found=1
    for f in "$stanzas" "$lines"; do
        if [ -s "$f.tmp" ]; then mv "$f.tmp" "$f" && found=0; else rm -f "$f.tmp"; fi
    done
    return "$found"
}
