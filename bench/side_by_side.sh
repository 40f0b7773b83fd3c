#!/usr/bin/env bash
# The same NMEA stream through a pseudo-terminal, once into the Pathlux window and once into
# Debian's gpsd with a client reading its reports on 127.0.0.1: CPU seconds per MB read, and
# wake-ups per second on a silent open port, for both and their ratio.
#   bench/side_by_side.sh [SECONDS-AT-1HZ] [FLOOD-SECONDS-OF-OUTPUT]
# Defaults: a minute of the simulator's 1 Hz output, and a flood of 8000 of its seconds (about
# 3.8 MB). Needs a build in build/; installs gpsd and gpsd-clients when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
paced=${1:-60}
flood=${2:-8000}
idle=${PATHLUX_IDLE_SECONDS:-30}
port=29470 # gpsd's port for this run, away from a system gpsd on 2947

for p in gpsd gpsd-clients xvfb xauth xdotool; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$p" >/dev/null
done

work=$(mktemp -d /tmp/pathlux-side.XXXXXX)
end_with_script "$work"


# CPU time in nanoseconds and context switches, summed over a process's threads, one line per
# thread; cpu_between and switches_between add up the change over threads present in both.
sample() {
    for task in /proc/"$1"/task/*; do
        local tid=${task##*/}
        local ns
        ns=$(cut -d' ' -f1 "$task/schedstat" 2>/dev/null) || continue
        awk -v tid="$tid" -v ns="$ns" '/ctxt_switches/ {n += $2} END {print tid, ns, n}' \
            "$task/status" 2>/dev/null || true
    done
}
between() { # FILE0 FILE1 COLUMN
    awk -v c="$3" 'NR == FNR {v[$1] = $c; next} ($1 in v) {n += $c - v[$1]} END {printf "%d\n", n}' \
        "$1" "$2"
}

Xvfb -displayfd 3 -screen 0 282x318x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"

# start_sim NAME ARGS...: the simulator on a pseudo-terminal linked at $work/NAME.
start_sim() {
    local name=$1
    shift
    build/tools/sim/pathlux-sim --link "$work/$name" "$@" >/dev/null 2>"$work/$name.report" &
    sim=$!
    pids+=($sim)
    wait_for test -e "$work/$name"
}
sent_bytes() { grep -o '"bytes":[0-9]*' "$1" | tail -1 | cut -d: -f2; }

# start_reader KIND DEVICE: sets reader (the pid measured) for the Pathlux window or gpsd, and
# samples it into $work/r0 as it opens the port.
start_reader() {
    if [ "$1" = pathlux ]; then
        PATHLUX_COM8="$2" QT_QPA_PLATFORM=xcb build/window/pathlux 2>/dev/null &
        reader=$!
        pids+=($reader)
        local window
        window=$(xdotool search --sync --limit 1 --pid "$reader" --name '^Pathlux V0.10 For Orvane$')
        sample "$reader" >"$work/r0"
        xdotool mousemove --window "$window" 216 12 click 1 # Open
    else
        gpsd -N -n -b -S "$port" -P "$work/gpsd.pid" "$2" 2>/dev/null &
        reader=$!
        pids+=($reader)
        sample "$reader" >"$work/r0"
        wait_for bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null
        gpspipe -w "127.0.0.1:$port" >/dev/null 2>&1 &
        client=$!
        pids+=($client)
    fi
}
stop_reader() {
    kill "$reader" ${client:+"$client"} 2>/dev/null || true
    wait "$reader" ${client:+"$client"} 2>/dev/null || true
    client=""
}

# run KIND STREAM: CPU seconds per MB of one stream, and with gpsd also its client's.
declare -A cpu_per_mb client_per_mb wakeups
run() {
    local kind=$1 stream=$2
    client=""
    local began
    began=$(date +%s.%N)
    if [ "$stream" = paced ]; then
        start_sim "$kind-$stream" --seed 7 --duration $((paced + 30))
    else
        # A slow clock: a flood is not held to it, and no second is dropped unread.
        start_sim "$kind-$stream" --seed 7 --fault flood --count "$flood" --speed 0.01
    fi
    start_reader "$kind" "$work/$kind-$stream"
    if [ "$stream" = paced ]; then
        # Measured from a second after opening: start-up is not the stream's cost.
        sleep 1
        sample "$reader" >"$work/r0"
        [ -n "$client" ] && sample "$client" >"$work/c0"
        sleep "$paced"
    else
        # The flood waits in the pseudo-terminal for the reader, so the whole of it is measured
        # from the opening (the client's start-up included).
        [ -n "$client" ] && printf '%s 0 0\n' "$client" >"$work/c0"
        wait_for grep -q '"sent"' "$work/$kind-$stream.report"
        sleep 2 # what the pseudo-terminal still held
    fi
    sample "$reader" >"$work/r1"
    [ -n "$client" ] && sample "$client" >"$work/c1"
    local bytes
    if [ "$stream" = paced ]; then
        kill -INT "$sim"
        wait "$sim" 2>/dev/null || true
    fi
    bytes=$(sent_bytes "$work/$kind-$stream.report")
    if [ "$stream" = paced ]; then
        # The bytes of the measured period: the simulator's total, for the share of its life.
        bytes=$(awk -v b="$bytes" -v t0="$began" -v t1="$(date +%s.%N)" -v p="$paced" \
            'BEGIN {printf "%d", b * p / (t1 - t0)}')
    fi
    stop_reader
    kill "$sim" 2>/dev/null || true
    cpu_per_mb[$kind-$stream]=$(awk -v ns="$(between "$work/r0" "$work/r1" 2)" -v b="$bytes" \
        'BEGIN {printf "%.3f", ns / 1e9 / (b / 1e6)}')
    if [ "$kind" = gpsd ]; then
        client_per_mb[$stream]=$(awk -v ns="$(between "$work/c0" "$work/c1" 2)" -v b="$bytes" \
            'BEGIN {printf "%.3f", ns / 1e9 / (b / 1e6)}')
    fi
    printf '%-8s %-6s %9d bytes  %8.3f CPU s/MB\n' "$kind" "$stream" "$bytes" "${cpu_per_mb[$kind-$stream]}"
}

# idle KIND: wake-ups per second with the port open on a line that never sends, over the first
# 30 s after opening (Qt flushes its pixmap cache once, 30 s after the last paint) and over the
# next $idle seconds.
declare -A settling
idle() {
    build/bench/silent-pty "$work/silent" &
    local holder=$!
    pids+=($holder)
    wait_for test -e "$work/silent"
    client=""
    start_reader "$1" "$work/silent"
    sleep 2
    sample "$reader" >"$work/r0"
    sleep 33
    sample "$reader" >"$work/r1"
    sleep "$idle"
    sample "$reader" >"$work/r2"
    stop_reader
    kill "$holder"
    wait "$holder" 2>/dev/null || true
    settling[$1]=$(awk -v s="$(between "$work/r0" "$work/r1" 3)" 'BEGIN {printf "%.2f", s / 33}')
    wakeups[$1]=$(awk -v s="$(between "$work/r1" "$work/r2" 3)" -v t="$idle" \
        'BEGIN {printf "%.2f", s / t}')
    printf '%-8s silent: %s wake-ups/s in the first 35 s, %s in the %d s after\n' "$1" \
        "${settling[$1]}" "${wakeups[$1]}" "$idle"
}

for kind in pathlux gpsd; do
    run "$kind" paced
    run "$kind" flood
    idle "$kind"
done

echo
echo "CPU seconds per MB (gpsd's client gpspipe in brackets), and wake-ups per second when silent:"
for stream in paced flood; do
    awk -v p="${cpu_per_mb[pathlux-$stream]}" -v g="${cpu_per_mb[gpsd-$stream]}" \
        -v c="${client_per_mb[$stream]}" -v s="$stream" \
        'BEGIN {printf "%-6s pathlux %.3f  gpsd %.3f (+%.3f)  gpsd/pathlux %.1fx\n",
                s, p, g, c, (p > 0 ? g / p : 0)}'
done
printf 'silent pathlux %s  gpsd %s wake-ups/s (first 35 s: %s and %s)\n' "${wakeups[pathlux]}" \
    "${wakeups[gpsd]}" "${settling[pathlux]}" "${settling[gpsd]}"
