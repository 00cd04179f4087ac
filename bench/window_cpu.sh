#!/usr/bin/env bash
# Processor use of the monitoring window: starts kestrane-sim on a paced 9600
# baud line, the real window on a virtual X display with the simulator's port,
# presses OPEN and START MONITOR, and reads the window's CPU time from /proc
# over a measuring period. Prints the share of one core with the port closed
# and while monitoring, beside the requests the simulator received.
#
# usage: bench/window_cpu.sh [build-dir] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-60}
sim="$build/tools/kestrane-sim"
monitor="$build/src/kestrane-monitor"
for exe in "$sim" "$monitor"; do
    [ -x "$exe" ] || { echo "window_cpu: $exe not built" >&2; exit 1; }
done
monitor=$(realpath "$monitor")
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "window_cpu: $tool is missing (scripts/setup-deps)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

display=":$((100 + RANDOM % 400))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

"$sim" --baud 9600 --pace --link "$work/tty" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
pids+=($sim_pid)
for _ in $(seq 50); do [ -L "$work/tty" ] && break; sleep 0.1; done

# The settings file goes next to the executable or to XDG_CONFIG_HOME; keep
# the developer's own out of it.
export XDG_CONFIG_HOME="$work/config"
(cd "$work" && QT_QPA_PLATFORM=xcb exec "$monitor" --port "$work/tty") \
    >"$work/monitor.out" 2>&1 &
monitor_pid=$!
pids+=($monitor_pid)
window=$(timeout 30 xdotool search --sync --onlyvisible --name 'KestraneV1.3' | head -n 1)
[ -n "$window" ] || { echo "window_cpu: the window did not appear" >&2; cat "$work/monitor.out" >&2; exit 1; }
sleep 2

# Buttons by their place in the dialog template (dialog units), scaled by the
# window's size in pixels against its 702 x 427 units.
eval "$(xdotool getwindowgeometry --shell "$window")"
click() {  # x y in dialog units
    local px py
    px=$(awk -v x="$1" -v w="$WIDTH" 'BEGIN { printf "%d", x * w / 702 }')
    py=$(awk -v y="$2" -v h="$HEIGHT" 'BEGIN { printf "%d", y * h / 427 }')
    xdotool mousemove --window "$window" "$px" "$py" click 1
}

ticks() {  # user + system clock ticks of the window process
    awk '{ print $14 + $15 }' "/proc/$monitor_pid/stat"
}
share() {  # ticks-before ticks-after seconds
    awk -v a="$1" -v b="$2" -v s="$3" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "%.2f", 100 * (b - a) / hz / s }'
}
sim_reads() { awk '/^syscr:/ { print $2 }' "/proc/$sim_pid/io"; }

idle_seconds=$(( seconds < 20 ? seconds : 20 ))
t0=$(ticks)
sleep "$idle_seconds"
t1=$(ticks)
idle=$(share "$t0" "$t1" "$idle_seconds")

click 56 127   # OPEN
sleep 1
click 56 211   # START MONITOR
sleep 5        # the first cycles, the settings worker and the first log record
r0=$(sim_reads)
t0=$(ticks)
sleep "$seconds"
t1=$(ticks)
r1=$(sim_reads)
monitoring=$(share "$t0" "$t1" "$seconds")
if [ "$r1" -le "$r0" ]; then
    echo "window_cpu: the simulator received nothing: monitoring did not start" >&2
    exit 1
fi

echo "window under Xvfb against kestrane-sim --pace at 9600 baud"
echo "port closed:          ${idle} % of one core over ${idle_seconds} s"
echo "monitoring:           ${monitoring} % of one core over ${seconds} s"
echo "simulator read calls: $((r1 - r0)) while measuring"
if [ -n "${KESTRANE_BENCH_SCREENSHOT:-}" ] && command -v import >/dev/null; then
    import -window root "$KESTRANE_BENCH_SCREENSHOT"
    echo "screenshot:           $KESTRANE_BENCH_SCREENSHOT"
fi
