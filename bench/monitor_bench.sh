#!/usr/bin/env bash
# Monitoring throughput against a simulated controller that answers promptly:
# runs `kestrane-cli watch` for a while and prints transactions per second, the
# time of a full eight-block read cycle, CPU use and peak memory, beside the
# ceiling the 100 ms tick allows (10 requests/s, 0.8 s per cycle).
#
# usage: bench/monitor_bench.sh [build-dir] [seconds] [extra kestrane-sim options...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-30}
shift $(( $# > 2 ? 2 : $# ))
sim="$build/tools/kestrane-sim"
cli="$build/tools/kestrane-cli"
for exe in "$sim" "$cli"; do
    [ -x "$exe" ] || { echo "monitor_bench: $exe not built" >&2; exit 1; }
done

work=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$sim" --baud 9600 "$@" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
done
port=$(head -n 1 "$work/sim.out")
[ -n "$port" ] || { echo "monitor_bench: the simulator did not start" >&2; cat "$work/sim.err" >&2; exit 1; }

/usr/bin/time -v -o "$work/time.txt" \
    "$cli" watch --port "$port" --seconds "$seconds" --stats >/dev/null 2>"$work/stats.txt"

stats=$(grep '^elapsed_s=' "$work/stats.txt")
value() { echo "$stats" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
timed() { sed -n "s/^[[:space:]]*$1: //p" "$work/time.txt"; }

elapsed=$(value elapsed_s)
user=$(timed "User time (seconds)")
system=$(timed "System time (seconds)")
cpu_percent=$(awk -v u="$user" -v s="$system" -v e="$elapsed" 'BEGIN { printf "%.2f", 100 * (u + s) / e }')

echo "monitoring for ${elapsed} s against kestrane-sim on $port"
echo "frames sent:            $(value frames_sent)"
echo "replies received:       $(value replies_received)"
echo "transactions per second $(value transactions_per_s)  (ceiling 10.00)"
echo "first full cycle        $(value first_cycle_s) s  (ceiling 0.800)"
echo "full cycle, average     $(value cycle_s) s  (ceiling 0.800) over $(value cycles) cycles"
echo "CPU                     ${cpu_percent} % of one core (user ${user} s, system ${system} s)"
echo "peak memory             $(timed "Maximum resident set size (kbytes)") kB"
