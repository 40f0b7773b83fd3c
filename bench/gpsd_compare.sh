#!/usr/bin/env bash
# Compares pathlux-replay with an independent decoder, gpsd's gpsdecode (Debian: gpsd-clients), on
# the shared logs of receivers of several systems and on the simulator as such a receiver (NMEA
# 4.0, 4.10 and 4.11): positions, fix modes, satellites in view per system and their used flags.
# Every difference is printed with the rule it comes from; exits 1 when one is not explained.
# usage: bench/gpsd_compare.sh [BUILD_DIR]   (default build; needs pathlux-replay and pathlux-sim)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if ! command -v gpsdecode >/dev/null 2>&1 || ! command -v python3 >/dev/null 2>&1; then
    echo "gpsd_compare: gpsdecode (apt-get install gpsd-clients) is not installed: skipped"
    exit 0
fi
gpsdecode -V 2>&1 | head -1

logs=${PATHLUX_LOG_DIR:-../shared/nmea-logs}
work=$(mktemp -d /tmp/pathlux-gpsd.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Two simulated minutes from a warm start: searching, then 2D and 3D fixes.
for nmea in 4.0 4.10 4.11; do
    out="$work/simulator-nmea-$nmea.nmea"
    : >"$out"
    "$build/tools/sim/pathlux-sim" --talkers gnss --nmea "$nmea" --device "$out" \
        --start 2024-05-01T10:00:00 --speed 100 --duration 1.2 >/dev/null 2>&1
done

python3 bench/gpsd_compare.py "$build/tools/replay/pathlux-replay" \
    "$logs/neo-m8n.log" "$logs/ch-4711.log" "$logs/quectel-eg25-g.log" "$work"/simulator-*.nmea
