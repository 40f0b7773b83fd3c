#!/usr/bin/env bash
# CPU time and wake-ups of the running monitor window over a measuring period (60 s unless given)
# with the port open: once on the receiver simulator (1 Hz, or what the simulator arguments after
# the period ask for), once on a silent line. Runs the window under Xvfb and presses Open as a
# user would. Needs a build in build/ (or the window binary in PATHLUX_BIN).
#   bench/cpu_time.sh 60
#   bench/cpu_time.sh 30 --replay ../shared/nmea-logs/neo-m8n.log --rate 400 --loop
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
period=${1:-60}
shift $(($# > 0 ? 1 : 0))
app_bin=${PATHLUX_BIN:-build/window/pathlux}
work=$(mktemp -d /tmp/pathlux-cpu.XXXXXX)
end_with_script "$work"

# Per thread: id, name, nanoseconds on a CPU and times scheduled in (each a wake-up or a
# preemption), from the scheduler's own counts; finer than the clock ticks of /proc/PID/stat.
threads() {
    local task
    for task in /proc/"$1"/task/*; do
        printf '%s %s %s\n' "${task##*/}" "$(tr ' ' _ <"$task/comm")${DETAIL:+_${task##*/}}" "$(cat "$task/schedstat")"
    done
}
# What each thread name spent between two samples, over the threads present in both.
between() {
    awk -v p="$period" -v name="$3" '
        NR == FNR {ns[$1] = $3; runs[$1] = $5; next}
        ($1 in ns) {t[$2] += $3 - ns[$1]; r[$2] += $5 - runs[$1]; T += $3 - ns[$1]; R += $5 - runs[$1]}
        END {
            printf "%-20s CPU %.3f s in %d s: %.3f ms a second, %.1f runs a second\n",
                   name, T / 1e9, p, T / 1e6 / p, R / p
            for (n in t) printf "    %-18s %8.3f ms a second %8.1f runs a second\n", n, t[n] / 1e6 / p, r[n] / p
        }' "$1" "$2"
}

Xvfb -displayfd 3 -screen 0 282x318x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb

# measure NAME DEVICE-LINK
measure() {
    PATHLUX_COM8="$2" "$app_bin" 2>/dev/null &
    local app=$!
    local window
    window=$(xdotool search --sync --limit 1 --pid "$app" --name '^Pathlux V0.10 For Orvane$')
    xdotool mousemove --window "$window" 216 12 click 1
    sleep 2
    threads "$app" >"$work/threads0"
    sleep "$period"
    threads "$app" >"$work/threads1"
    kill "$app"
    wait "$app" 2>/dev/null || true
    between "$work/threads0" "$work/threads1" "$1"
}

build/tools/sim/pathlux-sim --link "$work/sim" "$@" >/dev/null 2>&1 &
pids+=($!)
wait_for test -e "$work/sim"
measure "simulator${*:+ $*}" "$work/sim"

build/bench/silent-pty "$work/silent" &
pids+=($!)
wait_for test -e "$work/silent"
measure "silent line" "$work/silent"
