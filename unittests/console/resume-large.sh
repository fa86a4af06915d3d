#!/usr/bin/env bash
# numen-console on a large candidate (3*2^110000 + 1, n ln 2 > 69315, so it
# keeps a checkpoint): stopped by SIGTERM and killed by SIGKILL in the middle
# of its power run, then continued. The log lines of each interrupted run
# (Start, Continue and Stop lines aside) equal an uninterrupted run's, and
# the continued power run starts above 0 %, seen in the progress texts that
# the console shows on a terminal (script gives it one).
#   resume-large.sh NUMEN_CONSOLE
set -u
console="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
key() { tr -d '\r' < "$1/Numen.ini" | sed -n "s/^$2=//p"; }
# Trial division only to 10^6 (no prime below it divides the number), a
# checkpoint record every 1000 squarings.
ini() {
    mkdir -p "$1"
    printf '[Init]\r\nPriority=1\r\nWThreadPriority=1\r\nMode1=0\r\nMode2=0\r\nBase=2\r\nnMin=110000\r\nnMax=110000\r\nkMin=3\r\nkMax=3\r\nkStep=2\r\nnbIter=1000\r\nbPMax=1\r\nPMax=1000000\r\n' > "$1/Numen.ini"
}
verdicts() {  # the round-off error of a resumed run covers only its own steps
    grep -av -e "^Start:" -e "^Continue:" -e "^Stop:" "$1/Numen.log" | sed "s/, err = [0-9.e+-]*)/)/"
}
# The console under a terminal, its pid in $1.pid, its screen in $1.screen.
on_terminal() {  # folder command
    script -qfc "echo \$\$ > '$1.pid'; exec '$console' $2 '$1'" "$1.screen" > /dev/null &
    for _ in $(seq 100); do [ -s "$1.pid" ] && break; sleep 0.1; done
}
# The first percentage shown after the opening line.
first_percent() { tr '\r' '\n' < "$1.screen" | sed -n 's/.*Computing power \[\([0-9.]*\)%.*/\1/p' | head -1; }

whole="$work/whole"
ini "$whole"
"$console" start "$whole" > /dev/null
status=$?
[ "$status" -eq 0 ] || fail "uninterrupted run: exit $status"
verdicts "$whole" > "$work/expected"
[ -s "$work/expected" ] || fail "uninterrupted run logged no verdict"

for signal in TERM KILL; do
    f="$work/$signal"
    ini "$f"
    on_terminal "$f" start
    # Well into the power run: a checkpoint record exists and a few more steps went by.
    for _ in $(seq 600); do [ -s "$f/Numen.dta" ] && break; sleep 0.1; done
    [ -s "$f/Numen.dta" ] || fail "$signal: no checkpoint was written"
    sleep 0.5
    kill -"$signal" "$(cat "$f.pid")"
    while kill -0 "$(cat "$f.pid")" 2>/dev/null; do sleep 0.1; done
    wait
    [ "$(key "$f" Running)" = 1 ] || fail "$signal: Running is not left at 1"
    [ "$signal" = TERM ] && ! grep -qa "^Stop: n=110000, k=3\." "$f/Numen.log" && fail "TERM: no Stop line"

    rm -f "$f.pid" "$f.screen"
    on_terminal "$f" continue
    while [ ! -s "$f.pid" ] || kill -0 "$(cat "$f.pid")" 2>/dev/null; do sleep 0.2; done
    wait
    percent="$(first_percent "$f")"
    [ -n "$percent" ] || fail "$signal: the continued run showed no progress"
    awk -v p="${percent:-0}" 'BEGIN { exit !(p > 0) }' || fail "$signal: the continued run started at $percent %"
    [ "$(key "$f" Running)" = 0 ] || fail "$signal: Running not cleared at the end"
    verdicts "$f" | diff "$work/expected" - > /dev/null || fail "$signal: verdict lines differ: $(verdicts "$f" | tr '\n' '|')"
done

[ "$failures" -eq 0 ] && echo "resume after a signal: all checks passed"
exit $((failures > 0))
