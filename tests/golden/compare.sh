#!/bin/sh
# compare.sh REPLAY LOG GOLDEN: the decoder's output for a captured log must match its golden file.
# With PATHLUX_UPDATE_GOLDEN=1 the golden file is written instead.
set -eu
replay=$1 log=$2 golden=$3
if [ "${PATHLUX_UPDATE_GOLDEN:-0}" = 1 ]; then
    "$replay" --crlf --log "$log" >"$golden"
    exit 0
fi
if [ ! -f "$golden" ]; then
    echo "no golden file for $log: run with PATHLUX_UPDATE_GOLDEN=1 and check it by hand" >&2
    exit 1
fi
"$replay" --crlf --log "$log" | diff -u "$golden" -
