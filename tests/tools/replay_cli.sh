#!/bin/sh
# The decoder's command line: exit codes, errors on standard error, input from a file or stdin,
# the version sentence and the TTFF count, and JSON escapes.
set -u
replay=$1
failures=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# status EXPECTED ARGS...: runs the decoder on no input and checks its exit status.
status() {
    want=$1; shift
    "$replay" "$@" >"$tmp/out" 2>"$tmp/err" </dev/null; got=$?
    [ "$got" = "$want" ] || fail "$*: exit $got, expected $want"
}

status 0 --help && grep -q '^usage: pathlux-replay' "$tmp/out" || fail "--help prints no usage"
status 2 --bogus && [ "$(wc -l <"$tmp/err")" -eq 1 ] || fail "unknown option: not one line"
status 2 "$tmp/missing.log" && grep -q 'cannot open' "$tmp/err" || fail "missing file not said"
status 2 "$tmp"
status 2 a b
printf '$GPGSA,A,3,04,,,,,,,,,,,,2.5,1.3,2.1*00\n' >"$tmp/lf.log"
status 0 "$tmp/lf.log" && [ ! -s "$tmp/out" ] || fail "a bare LF ended a line"
"$replay" --crlf <"$tmp/lf.log" | grep -qx '{"field":1017,"text":"3D"}' || fail "stdin --crlf"

printf '$PNMX600 Nemerix NS1030,Version 1.05*00\r\n$GPGSA,A,2,*00\r\n' | "$replay" - >"$tmp/out"
printf '%s\n' '{"field":1019,"text":"1.05"}' '{"field":1018,"text":"00:00:00"}' \
    '{"timer":"start"}' '{"field":1024,"text":"0"}' '{"field":1023,"text":"0"}' \
    '{"field":1025,"text":"0"}' '{"timer":"stop"}' '{"field":1017,"text":"2D"}' >"$tmp/want"
diff -u "$tmp/want" "$tmp/out" || fail "version and TTFF"

# Control characters and high bytes reach the log line; JSON escapes keep every line valid.
printf 'a\033\001\260"\\\r' | "$replay" --log >"$tmp/out"
printf '{"log":"a\\u001b\\u0001\357\276\260\\"\\\\"}\n' >"$tmp/want"
cmp -s "$tmp/want" "$tmp/out" || fail "log escapes: $(cat "$tmp/out")"

echo "$failures failed"
[ "$failures" -eq 0 ]
