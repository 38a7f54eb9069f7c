# shellcheck shell=bash
# Runs the sourcing script again, before it starts anything, with address randomization off for it
# and every program it starts (the personality is inherited across fork and exec): Wine programs
# must never start otherwise here. Source it at the top of a script that starts Wine programs.
#
# Why: at each start Wine 8 maps the shared user data page at its fixed Windows address, 0x7ffe0000,
# claimed only once its loader runs (Debian's Wine has no preloader). The kernel here puts a
# program's heap anywhere in the gigabyte after the program (the loader sits at 0x7d000000), and now
# and then the heap lands on that page: the program ends with status 1 before its first line, and
# the one line that says why ("err:virtual:virtual_alloc_first_teb wine: failed to map the shared
# user data: c0000018") is hidden by WINEDEBUG=-all. Measured here: one start in a few thousand
# (tests/e2e/README.md).
if (((0x$(cat /proc/self/personality) & 0x0040000) == 0)); then
    if setarch "$(uname -m)" -R true 2>/dev/null; then
        exec setarch "$(uname -m)" -R "$0" "$@"
    fi
    echo "fixed-layout: this machine refuses to start programs without address randomization;" \
        "a Wine program may end at its start without a word (status 1)" >&2
fi
