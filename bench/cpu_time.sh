#!/usr/bin/env bash
# CPU time and wake-ups of the running monitor window over a measuring period (60 s unless given)
# with the port open: once with the receiver simulator at 1 Hz, once on a silent line. Runs the
# window under Xvfb and presses Open as a user would. Needs a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
period=${1:-60}
work=$(mktemp -d /tmp/pathlux-cpu.XXXXXX)
end_with_script "$work"


# CPU ticks (user + system) of a process, and the context switches of each of its threads.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
switches() {
    for status in /proc/"$1"/task/*/status; do
        awk '/^Pid:/ {tid = $2} /ctxt_switches/ {n += $2} END {print tid, n}' "$status"
    done
}
# Switches between two samples, over the threads present in both.
switches_between() {
    awk 'NR == FNR {before[$1] = $2; next} ($1 in before) {n += $2 - before[$1]} END {print n + 0}' \
        "$1" "$2"
}

Xvfb -displayfd 3 -screen 0 282x318x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb
hz=$(getconf CLK_TCK)

# measure NAME DEVICE-LINK
measure() {
    PATHLUX_COM8="$2" build/window/pathlux 2>/dev/null &
    local app=$!
    local window
    window=$(xdotool search --sync --limit 1 --pid "$app" --name '^Pathlux V0.10 For Orvane$')
    xdotool mousemove --window "$window" 216 12 click 1
    sleep 2
    local t0 t1
    t0=$(ticks "$app")
    switches "$app" >"$work/switches0"
    sleep "$period"
    t1=$(ticks "$app")
    switches "$app" >"$work/switches1"
    kill "$app"
    wait "$app" 2>/dev/null || true
    local s
    s=$(switches_between "$work/switches0" "$work/switches1")
    awk -v name="$1" -v t=$((t1 - t0)) -v s="$s" -v hz="$hz" -v p="$period" \
        'BEGIN {printf "%-22s CPU %.2f s in %d s (%.2f %%), %d context switches\n",
                name, t / hz, p, 100 * t / hz / p, s}'
}

build/tools/sim/pathlux-sim --link "$work/sim" >/dev/null 2>&1 &
pids+=($!)
wait_for test -e "$work/sim"
measure "simulator at 1 Hz" "$work/sim"

build/bench/silent-pty "$work/silent" &
pids+=($!)
wait_for test -e "$work/silent"
measure "silent line" "$work/silent"
