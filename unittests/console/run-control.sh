#!/usr/bin/env bash
# numen-console run control: a second instance in the same folder, a stop by
# signal that keeps the position and Running, Continue's range check, the
# modes not there yet and bad usage, each by its exit status.
#   run-control.sh NUMEN_CONSOLE
set -u
console="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
key() { tr -d '\r' < "$1/Numen.ini" | sed -n "s/^$2=//p"; }
ini() {  # folder, then key=value lines
    local folder="$1"; shift
    mkdir -p "$folder"
    { printf '[Init]\r\nPriority=1\r\nWThreadPriority=1\r\n'; for kv in "$@"; do printf '%s\r\n' "$kv"; done; } > "$folder/Numen.ini"
}
# Waits (at most 60 s) until the file exists and holds the pattern.
wait_for() {
    for _ in $(seq 600); do grep -qa "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
    return 1
}

# A range long enough to be still going when the checks below are made.
range=(Mode1=0 Mode2=0 Base=2 nMin=3000 nMax=4000 kMin=3 kMax=99 kStep=2 nbIter=1000)

a="$work/a"
ini "$a" "${range[@]}"
"$console" start "$a" > "$work/a.out" 2> "$work/a.err" &
first=$!
wait_for "$a/Numen.ini" "^k=" || fail "the run posted no position"

"$console" start "$a" > "$work/second.out" 2> "$work/second.err"
status=$?
[ "$status" -eq 1 ] || fail "second instance exited $status, expected 1"
[ "$(wc -l < "$work/second.err")" -eq 1 ] || fail "second instance did not say why in one line: $(cat "$work/second.err")"
[ -s "$work/second.out" ] && fail "second instance printed on stdout"

kill -TERM "$first"
wait "$first"
status=$?
[ "$status" -eq 3 ] || fail "SIGTERM: exit $status, expected 3"
[ "$(key "$a" Running)" = 1 ] || fail "SIGTERM: Running is not left at 1"
n="$(key "$a" n)"; k="$(key "$a" k)"
grep -q "^Start: For n=3000 to 4000, For k=3 to 99 step 2, k\*2^n+1\.$" "$work/a.out" || fail "no Start line"
grep -q "^Stop: n=$n, k=$k\.$" "$work/a.out" || fail "Stop line does not name the stored n=$n k=$k: $(tail -1 "$work/a.out")"

# Continue takes up the stored position, and SIGINT stops it as well.
"$console" continue "$a" > "$work/c.out" 2>&1 &
again=$!
wait_for "$work/c.out" "^Continue:" || fail "continue printed no opening line"
kill -INT "$again"
wait "$again"
status=$?
[ "$status" -eq 3 ] || fail "SIGINT: exit $status, expected 3"
head -1 "$work/c.out" | grep -q "^Continue: n=$n, k=$k, For n=3000 to 4000" || fail "Continue line: $(head -1 "$work/c.out")"

# Continue refuses a position outside the range and starts nothing.
b="$work/b"
ini "$b" "${range[@]}" n=10 k=5
"$console" continue "$b" > "$work/b.out" 2> "$work/b.err"
status=$?
[ "$status" -eq 6 ] || fail "out of range: exit $status, expected 6"
grep -q "Current values are out of range." "$work/b.err" || fail "out of range: no message"
[ "$(key "$b" Running)" = 1 ] && fail "out of range: Running was set"
[ -s "$work/b.out" ] && fail "out of range: the run printed $(cat "$work/b.out")"
# The fields were normalised and written back all the same.
ini "$b" Mode1=0 Mode2=0 Base=2 nMin=0 nMax=0 kMin=4 kMax=10 kStep=1 n=1 k=1
"$console" continue "$b" > /dev/null 2>&1
[ "$(key "$b" nMin)/$(key "$b" kMin)/$(key "$b" kMax)/$(key "$b" kStep)/$(key "$b" b)" = "2/5/11/2/1" ] \
    || fail "fields not written back normalised: $(tr -d '\r' < "$b/Numen.ini" | tr '\n' ' ')"

# File mode with a list that cannot be opened: the one line, status 5.
f="$work/f"
ini "$f" Mode1=3 Mode2=0 Base=2 VerifierFilename=missing.txt
"$console" start "$f" > "$work/f.out" 2> "$work/f.err"
status=$?
[ "$status" -eq 5 ] || fail "file mode, missing list: exit $status, expected 5"
grep -q '^Cannot open "missing.txt".' "$work/f.out" || fail "file mode: $(cat "$work/f.out" "$work/f.err")"

"$console" bogus "$f" > /dev/null 2>&1
status=$?
[ "$status" -eq 2 ] || fail "unknown command: exit $status, expected 2"

[ "$failures" -eq 0 ] && echo "run control: all checks passed"
exit $((failures > 0))
