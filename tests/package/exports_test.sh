#!/usr/bin/env bash
# The library exports the twelve functions of its interface under their plain names and nothing
# else, and dravlin.h declares the same twelve. Natively from the dynamic symbol table (the first
# eleven under the symbol version DRAVLIN_1, the twelfth under DRAVLIN_2, the soname libdravlin.so.1);
# for Windows from the DLL's export table.
#   usage: exports_test.sh LIBRARY HEADER [OBJDUMP]
set -uo pipefail
lib=$1 header=$2 objdump=${3:-}
fail() { echo "FAIL: $*"; exit 1; }
words() { tr -s ' \n' '\n\n' | sed '/^$/d' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'; }

expected=$(words <<<"InvalidCurl ReleaseCurl SetDownloadDriverFileCallback SetDownloadDriverFileErrorCallback
    DownloadFile DownloadPause DownloadResume CancelDownload DeleteDownloadTask SetDownloadTaskNum SetDownloadSpeed
    GetDownloadFailure")
declared=$(sed -nE 's/^DRAVLIN_API .* DRAVLIN_CALL ([A-Za-z_][A-Za-z0-9_]*)\(.*/\1/p' "$header" | words)
[ "$declared" = "$expected" ] || fail "dravlin.h declares: $declared"

if [ -n "$objdump" ]; then
    table=$("$objdump" -p "$lib") || fail "objdump could not read $lib"
    grep -qE '^Name[[:space:]].*[[:space:]]Dravlin\.dll$' <<<"$table" || fail "the export table does not name Dravlin.dll"
    # The name pointer table: lines "[   0] +base[   1] 0000 CancelDownload" (older objdump: "[   0] CancelDownload").
    exported=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | sed -nE 's/^[[:space:]]*\[ *[0-9]+\] (.* )?([^ ]+)$/\2/p' | words)
else
    soname=$(readelf -d "$lib" | sed -nE 's/.*Library soname: \[(.*)\]/\1/p')
    [ "$soname" = libdravlin.so.1 ] || fail "soname '$soname'"
    # "A" lines are the version definitions themselves.
    symbols=$(nm -D --defined-only "$lib" | awk '$2 != "A" {print $3}')
    # A program built against the first eleven keeps finding them under the version it recorded.
    unversioned=$(grep -v '@@DRAVLIN_1$' <<<"$symbols" | grep -vx 'GetDownloadFailure@@DRAVLIN_2' | words)
    [ -z "$unversioned" ] || fail "exported without their version (DRAVLIN_1, GetDownloadFailure DRAVLIN_2): $unversioned"
    exported=$(sed 's/@.*//' <<<"$symbols" | words)
fi
[ "$exported" = "$expected" ] || fail "exported: $exported"
echo "exports: the twelve functions of dravlin.h and nothing else"
