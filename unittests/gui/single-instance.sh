#!/usr/bin/env bash
# One Numen per folder: while numen-console runs a search in a folder, a
# window started there leaves at once, silently and with a non-zero status.
#   single-instance.sh NUMEN NUMEN_CONSOLE
set -u
numen="$1"; console="$2"
work="$(mktemp -d)"
trap 'kill "$first" 2>/dev/null; rm -rf "$work"' EXIT
printf '[Init]\r\nPriority=1\r\nWThreadPriority=1\r\nTrayIcon=0\r\nMode1=0\r\nMode2=0\r\nBase=2\r\nnMin=3000\r\nnMax=4000\r\nkMin=3\r\nkMax=99\r\nkStep=2\r\n' > "$work/Numen.ini"
"$console" start "$work" > /dev/null 2>&1 &
first=$!
for _ in $(seq 300); do grep -q '^k=' "$work/Numen.ini" 2>/dev/null && break; sleep 0.1; done
(cd "$work" && QT_QPA_PLATFORM=offscreen timeout 20 "$numen" > "$work/window.out" 2>&1)
status=$?
if [ "$status" -eq 0 ] || [ "$status" -eq 124 ]; then
    echo "FAIL: the second instance did not leave (status $status)"
    exit 1
fi
if grep -v 'XDG_RUNTIME_DIR\|QStandardPaths' "$work/window.out" | grep -q .; then
    echo "FAIL: the second instance spoke: $(cat "$work/window.out")"
    exit 1
fi
kill -TERM "$first"; wait "$first"
echo "single instance: all checks passed"
