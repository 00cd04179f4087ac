#!/usr/bin/env bash
# window_starts.sh MONITOR [ARGS...]: run on an X display (xvfb-run). Starts
# the window, waits until it is shown, presses Escape (which ends the main
# window) and checks that the program then ends by itself with status 0.
set -uo pipefail
"$@" &
pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --class kestrane-monitor | head -n 1)
if [ -z "$window" ]; then
    echo "FAIL: the window did not appear"
    kill "$pid" 2>/dev/null
    exit 1
fi
xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: the window did not close on Escape"
    kill "$pid"
    exit 1
fi
wait "$pid"
status=$?
[ $status -eq 0 ] || { echo "FAIL: the monitor ended with status $status"; exit 1; }
echo "window shown and closed cleanly"
