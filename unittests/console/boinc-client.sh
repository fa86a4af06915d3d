#!/usr/bin/env bash
# numen-boinc under a stand-in client (numen-boinc-fake-client): a suspend
# stops the run and a resume continues it in the same process, the fraction
# done reaches the client, a quit ends in a temporary exit from which the
# next start continues, and an abort ends with status 194.
#   boinc-client.sh NUMEN_BOINC FAKE_CLIENT
set -u
boinc="$(realpath "$1")"
client="$(realpath "$2")"
work="$(mktemp -d)"
trap 'echo end > "$slot/request"; kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
key() { tr -d '\r' 2>/dev/null < "$1/Numen.ini" | sed -n "s/^$2=//p"; }
# Waits (at most 120 s) until the command succeeds.
wait_until() {
    for _ in $(seq 1200); do eval "$1" && return 0; sleep 0.1; done
    return 1
}
request() {  # sends one message and waits until the client took it
    echo "$1" > "$slot/request"
    wait_until '[ ! -e "$slot/request" ]' || fail "the client did not send $1"
}

slot="$work/slot"
mkdir -p "$slot"
printf '[Init]\r\nPriority=1\r\nWThreadPriority=1\r\nnbIter=1000\r\nMode1=3\r\nMode2=0\r\nBase=2\r\nVerifierFilename=list.txt\r\n' \
    > "$slot/Numen.ini"
for k in $(seq 3 2 401); do echo "$k 12000"; done > "$slot/list.txt"
"$client" "$slot" &
wait_until '[ -e "$slot/init_data.xml" ]' || fail "the client wrote no init_data.xml"

(cd "$slot" && exec "$boinc" > out.txt 2> err.txt) &
app=$!
wait_until '[ "$(key "$slot/work" FileLine)" -ge 1 ] 2>/dev/null' || fail "the run posted no list line"
grep -q "standalone" "$slot/stderr.txt" && fail "ran standalone beside the client"

request "<suspend/>"
wait_until 'grep -q "suspended" "$slot/stderr.txt"' || fail "suspend: the run did not stop"
line="$(key "$slot/work" FileLine)"
kill -0 "$app" 2>/dev/null || fail "suspend: the process ended"
request "<resume/>"
wait_until 'grep -q "^Continue:" "$slot/out.txt"' || fail "resume: the run did not continue"
wait_until '[ "$(key "$slot/work" FileLine)" -gt "$line" ]' || fail "resume: the list does not move on from $line"
wait_until '[ -e "$slot/fraction" ] && awk "{exit !(\$1 > 0 && \$1 < 1)}" "$slot/fraction"' ||
    fail "no fraction done between 0 and 1 reached the client: $(cat "$slot/fraction" 2>/dev/null)"

request "<quit/>"
wait "$app"
status=$?
[ "$status" -eq 0 ] || fail "quit: exit $status, expected 0"
[ -e "$slot/boinc_temporary_exit" ] || fail "quit: no temporary exit"
grep -q "quit" "$slot/stderr.txt" || fail "quit: not told in stderr.txt"
[ "$(key "$slot/work" Running)" = 1 ] || fail "quit: Running not kept"

rm -f "$slot/boinc_temporary_exit"
(cd "$slot" && exec "$boinc" > out.txt 2> err.txt) &
app=$!
wait_until 'grep -q "^Continue:" "$slot/out.txt"' || fail "the start after the quit did not continue"
request "<abort/>"
wait "$app"
status=$?
[ "$status" -eq 194 ] || fail "abort: exit $status, expected 194"
[ "$(head -1 "$slot/boinc_finish_called" 2>/dev/null)" = 194 ] || fail "abort: boinc_finish(194) not called"
[ "$(key "$slot/work" FileLine)" -lt 200 ] || fail "the list ended before the abort; the test needs a longer one"

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "boinc client: all checks passed"
