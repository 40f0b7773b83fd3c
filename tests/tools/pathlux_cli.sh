#!/bin/sh
# The monitor window's command line: help, version and every mistake answered before Qt is
# started. No display is given, so a run that reached the window would fail otherwise.
set -u
pathlux=$1
failures=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# status EXPECTED ARGS...: runs the program without a display and checks its exit status.
status() {
    want=$1; shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$pathlux" "$@" >"$tmp/out" 2>"$tmp/err"
    got=$?
    [ "$got" = "$want" ] || fail "$*: exit $got, expected $want"
}
# error ARGS...: exit 2 with one line on standard error and nothing on standard output.
error() {
    status 2 "$@"
    [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "$*: not one line: $(cat "$tmp/err")"
    [ ! -s "$tmp/out" ] || fail "$*: wrote to standard output"
}

status 0 --help && grep -q '^usage: pathlux \[--port' "$tmp/out" || fail "--help prints no usage"
status 0 --version && grep -qx 'pathlux [0-9.]*' "$tmp/out" || fail "--version"
# The parser's rules are its own test's; here: a mistake ends the program with Qt's options given,
# and a capture that could not be written is refused as a mistake.
error -platform offscreen --baud 1200
error --record "$tmp/missing/x.cap"
error --record "$tmp"

echo "$failures failed"
[ "$failures" -eq 0 ]
