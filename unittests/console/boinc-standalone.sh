#!/usr/bin/env bash
# numen-boinc in the BOINC API's standalone mode (no client): a one-line
# File-mode list gives the same result files as numen-console, a restart
# after the end delivers them again unchanged, a missing list fails with
# status 5, a stop by signal ends as "temporary exit" and continues to the
# end at the next start, and a damaged checkpoint is resumed from the
# previous one with the line that says so.
#   boinc-standalone.sh NUMEN_BOINC NUMEN_CONSOLE
set -u
boinc="$(realpath "$1")"
console="$(realpath "$2")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
key() { tr -d '\r' < "$1/Numen.ini" | sed -n "s/^$2=//p"; }
slot() {  # folder, list text, then key=value lines
    local folder="$1" list="$2"; shift 2
    mkdir -p "$folder"
    { printf '[Init]\r\nPriority=1\r\nWThreadPriority=1\r\nMode1=3\r\nMode2=0\r\nBase=2\r\nVerifierFilename=list.txt\r\n'
      for kv in "$@"; do printf '%s\r\n' "$kv"; done; } > "$folder/Numen.ini"
    printf '%s' "$list" > "$folder/list.txt"
}
run_boinc() { (cd "$1" && "$boinc" > out.txt 2> err.txt); }
# A file as both runs must agree on it: the JSON lines without their clock
# readings (start, end, seconds), which differ from run to run.
comparable() {
    case "$1" in
    *.json) sed -E 's/"(start|end)":"[^"]*"//g; s/"seconds":[-+.eE0-9]*//g' "$1" ;;
    *) cat "$1" ;;
    esac
}
same() {  # file name, plain folder, boinc folder
    if [ -e "$2/$1" ]; then
        [ "$(comparable "$2/$1")" = "$(comparable "$3/$1")" ] ||
            fail "$1 differs: $(diff <(comparable "$2/$1") <(comparable "$3/$1") | head -5)"
    fi
}

# One candidate, as a work unit holds it.
slot "$work/plain" $'45 200\n'
slot "$work/one" $'45 200\n'
"$console" start "$work/plain" > "$work/plain.out" 2>&1 || fail "numen-console exited $?"
run_boinc "$work/one"
status=$?
[ "$status" -eq 0 ] || fail "one line: exit $status, expected 0 ($(cat "$work/one/err.txt"))"
[ "$(cat "$work/one/boinc_finish_called" 2>/dev/null | head -1)" = 0 ] || fail "one line: boinc_finish(0) not called"
[ -s "$work/plain/Numen.txt" ] || fail "the console found no prime: $(cat "$work/plain.out")"
for f in Numen.txt Numen.log Numen.json; do
    same "$f" "$work/plain" "$work/one"
    [ -e "$work/one/$f" ] || fail "no $f delivered"
done
grep -q "standalone" "$work/one/stderr.txt" || fail "not in standalone mode: $(cat "$work/one/stderr.txt")"

# Started again after its end (the client restarted it before the finish
# was seen): the same files, no second run appended.
rm -f "$work/one/Numen.txt" "$work/one/boinc_finish_called"
run_boinc "$work/one"
status=$?
[ "$status" -eq 0 ] || fail "restart after the end: exit $status"
same Numen.txt "$work/plain" "$work/one"
grep -q "Start:" "$work/one/out.txt" && fail "restart after the end ran the list again"

# A work unit whose list is missing fails.
slot "$work/missing" ""
rm "$work/missing/list.txt"
run_boinc "$work/missing"
status=$?
[ "$status" -eq 5 ] || fail "missing list: exit $status, expected 5"
[ "$(head -1 "$work/missing/boinc_finish_called" 2>/dev/null)" = 5 ] || fail "missing list: boinc_finish(5) not called"

# A list long enough to be stopped on the way: SIGINT as a quit request.
list=""
for k in $(seq 3 2 121); do list+="$k 12000"$'\n'; done
slot "$work/long" "$list" nbIter=1000
(cd "$work/long" && exec "$boinc" > out.txt 2> err.txt) &
pid=$!
for _ in $(seq 600); do
    [ "$(key "$work/long/work" FileLine 2>/dev/null)" -ge 1 ] 2>/dev/null && break
    sleep 0.1
done
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "stopped: exit $status, expected 0 (temporary exit)"
[ -e "$work/long/boinc_temporary_exit" ] || fail "stopped: no temporary exit"
[ -e "$work/long/boinc_finish_called" ] && fail "stopped: boinc_finish called"
[ "$(key "$work/long/work" Running)" = 1 ] || fail "stopped: Running not kept"
stopped_at="$(key "$work/long/work" FileLine)"
[ "$stopped_at" -lt 60 ] || fail "the list ended before the stop; the test needs a longer one"
rm -f "$work/long/boinc_temporary_exit"
run_boinc "$work/long"
status=$?
[ "$status" -eq 0 ] || fail "continued: exit $status"
[ "$(head -1 "$work/long/boinc_finish_called" 2>/dev/null)" = 0 ] || fail "continued: boinc_finish(0) not called"
grep -q "^Continue:" "$work/long/out.txt" || fail "the second start did not continue: $(head -2 "$work/long/out.txt")"
[ "$(key "$work/long/work" FileLine)" = 60 ] || fail "continued: FileLine $(key "$work/long/work" FileLine), expected 60"
[ -e "$work/long/Numen.txt" ] || fail "continued: no Numen.txt delivered"

# A large candidate (it keeps a checkpoint) stopped twice, so that the
# second stop's write keeps the first as the previous copy; then the newer
# record is damaged, and the run goes on from the older one and says so.
slot "$work/damaged" $'3 200000\n' nbIter=1000 bPMax=1 PMax=1000000
for round in 1 2; do
    rm -f "$work/damaged/boinc_temporary_exit"
    (cd "$work/damaged" && exec "$boinc" > "out$round.txt" 2> "err$round.txt") &
    pid=$!
    sleep 2
    kill -INT "$pid"
    wait "$pid"
    [ -e "$work/damaged/boinc_temporary_exit" ] || fail "damaged: stop $round ended the run"
done
dta="$work/damaged/work/Numen.dta"
if [ -s "$dta" ] && [ -s "$dta.prev" ]; then
    printf '\377\377\377\377' | dd of="$dta" bs=1 seek=$(( $(stat -c %s "$dta") / 2 )) conv=notrunc 2> /dev/null
    rm -f "$work/damaged/boinc_temporary_exit"
    run_boinc "$work/damaged"
    status=$?
    [ "$status" -eq 0 ] || fail "damaged: exit $status"
    notice="Numen.dta is damaged: resuming from the previous checkpoint."
    grep -qF "$notice" "$work/damaged/work/Numen.log" || fail "damaged: no notice in Numen.log"
    grep -qF "$notice" "$work/damaged/out.txt" || fail "damaged: no notice in the pane"
    grep -q "^Done\." "$work/damaged/out.txt" || fail "damaged: the run did not end"
else
    fail "damaged: the stops left no checkpoint and previous copy"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "boinc standalone: all checks passed"
