#!/bin/sh
# The decoder's command line: exit codes, errors on standard error, input from a file or stdin.
set -u
replay=$1
failures=0
check() { # check LEGEND EXPECTED_STATUS ACTUAL_STATUS
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: exit $3, expected $2" >&2
        failures=$((failures + 1))
    fi
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$replay" --help >"$tmp/out" 2>&1; check "--help" 0 $?
grep -q '^usage: pathlux-replay' "$tmp/out" || { echo "FAIL: --help prints no usage" >&2; failures=$((failures + 1)); }
"$replay" --bogus >"$tmp/out" 2>"$tmp/err"; check "unknown option" 2 $?
[ "$(wc -l <"$tmp/err")" -eq 1 ] || { echo "FAIL: unknown option error is not one line" >&2; failures=$((failures + 1)); }
"$replay" "$tmp/missing.log" >"$tmp/out" 2>"$tmp/err"; check "missing file" 2 $?
grep -q 'cannot open' "$tmp/err" || { echo "FAIL: missing file not reported" >&2; failures=$((failures + 1)); }
"$replay" "$tmp" >"$tmp/out" 2>"$tmp/err"; check "directory" 2 $?
"$replay" a b >"$tmp/out" 2>"$tmp/err"; check "two files" 2 $?

printf '$GPGSA,A,3,04,,,,,,,,,,,,2.5,1.3,2.1*00\n' >"$tmp/lf.log"
"$replay" "$tmp/lf.log" >"$tmp/out"; check "bare LF" 0 $?
[ ! -s "$tmp/out" ] || { echo "FAIL: a bare LF ended a line" >&2; failures=$((failures + 1)); }
"$replay" --crlf <"$tmp/lf.log" >"$tmp/out"; check "stdin with --crlf" 0 $?
grep -qx '{"field":1017,"text":"3D"}' "$tmp/out" || { echo "FAIL: stdin --crlf did not decode" >&2; failures=$((failures + 1)); }
grep -qx '{"timer":"stop"}' "$tmp/out" && { echo "FAIL: stop without a running count" >&2; failures=$((failures + 1)); }

printf '$PNMX600 Nemerix NS1030,Version 1.05*00\r\n$GPGSA,A,2,*00\r\n' | "$replay" - >"$tmp/out"
printf '%s\n' '{"field":1019,"text":"1.05"}' '{"field":1018,"text":"00:00:00"}' '{"timer":"start"}' \
    '{"field":1024,"text":"0"}' '{"field":1023,"text":"0"}' '{"field":1025,"text":"0"}' \
    '{"timer":"stop"}' '{"field":1017,"text":"2D"}' >"$tmp/want"
diff -u "$tmp/want" "$tmp/out" || failures=$((failures + 1))

# Control characters and high bytes reach the log line; JSON escapes keep every line valid.
printf 'a\033\001\260"\\\r' | "$replay" --log >"$tmp/out"
printf '{"log":"a\\u001b\\u0001\357\276\260\\"\\\\"}\n' >"$tmp/want"
cmp -s "$tmp/want" "$tmp/out" || { echo "FAIL: log escapes: $(cat "$tmp/out")" >&2; failures=$((failures + 1)); }

echo "$failures failed"
[ "$failures" -eq 0 ]
