#!/usr/bin/env bash
# kestrane-bridge under load: four simulated buses of eight controllers each
# at 9600 baud, every byte taking its wire time (kestrane-sim --pace).
#
# 1. Polled as fast as the buses allow (poll_interval_s = 0): the cycle time
#    of every bus (all eight controllers) against eight times the wire-time
#    floor of one controller, as the simulator reports it.
# 2. The same on one bus with a ninth, missing address: the cycle time of the
#    eight live controllers against the same bus without the dead one.
# 3. At poll_interval_s = 5: the bridge's processor time as a share of one
#    core, and its peak resident memory.
# 4. As 1, publishing to a real mosquitto broker: the messages per second that
#    reach a subscriber.
# Cycles are counted from the --json-lines output (one line per device cycle).
#
# usage: bench/bridge_bench.sh [build-dir] [seconds per run, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-60}

[ -f "$build/CMakeCache.txt" ] || { echo "bridge_bench: $build is not a CMake build directory" >&2; exit 1; }
if ! cmake --build "$build" --target kestrane-sim kestrane-bridge >/dev/null 2>"$build/bridge_bench-build.log"; then
    echo "bridge_bench: building failed:" >&2
    tail -n 5 "$build/bridge_bench-build.log" >&2
    exit 1
fi
sim="$build/tools/kestrane-sim"
bridge="$build/tools/kestrane-bridge"
command -v jq >/dev/null || { echo "bridge_bench: needs jq" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "bridge_bench: needs /usr/bin/time (package time)" >&2; exit 1; }

work=$(mktemp -d)
. bench/bridge_sims.sh
mqtt_pids=()
trap 'stop_sims; for pid in "${mqtt_pids[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$work"' EXIT

# run CONFIG OUT: the bridge for $seconds; /usr/bin/time's figures in OUT.time.
run() {
    /usr/bin/time -f '%U %S %M' -o "$2.time" \
        timeout -s INT "$seconds" "$bridge" --json-lines --config "$1" >"$2" 2>"$2.err" || true
}

# cycle_ms OUT BUS: the mean time of a full pass over the bus, from the
# bus_cycle_ms every update carries (each pass counted once, by address 1).
cycle_ms() {
    jq -rs "[.[] | select(.bus == $2 and .address == 1) | .link.bus_cycle_ms | select(. > 0)]
            | if length == 0 then \"-\" else (add / length * 10 | round / 10) end" "$1"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "" || b == 0) print "-"; else printf "%.3f", a / b }'; }

echo "bridge_bench: $buses buses x $devices controllers, poll as fast as possible, ${seconds} s" >&2
start_sims "$buses"
floor=$(sed -n 's/^wire-time floor per cycle: \([0-9.]*\) ms.*/\1/p' "$work/sim.0.err")
floor8=$(awk -v f="$floor" -v n="$devices" 'BEGIN { printf "%.1f", f * n }')
config "$work/fast.toml" 0 "$buses"
run "$work/fast.toml" "$work/fast.jsonl"
stop_sims

echo "bridge_bench: one bus with a dead ninth address, ${seconds} s" >&2
start_sims 1
config "$work/dead.toml" 0 1 9
run "$work/dead.toml" "$work/dead.jsonl"
stop_sims

echo "bridge_bench: $buses buses at poll_interval_s = 5, ${seconds} s" >&2
start_sims "$buses"
config "$work/slow.toml" 5 "$buses"
run "$work/slow.toml" "$work/slow.jsonl"
stop_sims

# 4. As 1, publishing to a real mosquitto broker on a free port, with a
#    subscriber counting the state and link messages that reach it.
echo "bridge_bench: $buses buses as fast as possible, publishing to mosquitto, ${seconds} s" >&2
broker_bin=$(command -v mosquitto || echo /usr/sbin/mosquitto)
[ -x "$broker_bin" ] && command -v mosquitto_sub >/dev/null ||
    { echo "bridge_bench: needs mosquitto and mosquitto_sub" >&2; exit 1; }
mqtt_port=$((20000 + RANDOM % 20000))
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nuser %s\n' \
    "$mqtt_port" "$(id -un)" >"$work/mosquitto.conf"
"$broker_bin" -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
broker_pid=$!
mqtt_pids+=("$broker_pid")
for _ in $(seq 50); do
    mosquitto_pub -p "$mqtt_port" -t bench/ping -m 1 2>/dev/null && break
    sleep 0.1
done
mosquitto_sub -p "$mqtt_port" -t 'kestrane/#' -v >"$work/sub.txt" 2>/dev/null &
sub_pid=$!
mqtt_pids+=("$sub_pid")
start_sims "$buses"
config "$work/mqtt.toml" 0 "$buses"
printf '[mqtt]\nhost = "127.0.0.1"\nport = %s\nclient_id = "kestrane-bench"\n' "$mqtt_port" \
    >>"$work/mqtt.toml"
run "$work/mqtt.toml" "$work/mqtt.jsonl"
stop_sims
sleep 1  # the last messages on their way to the subscriber
kill "$sub_pid" "$broker_pid" 2>/dev/null || true
wait "$sub_pid" "$broker_pid" 2>/dev/null || true
received=$(grep -cE '^kestrane/[^/ ]+/(state|link) ' "$work/sub.txt" || true)
device_cycles=$(wc -l <"$work/mqtt.jsonl")
mqtt_rate=$(awk -v n="$received" -v t="$seconds" 'BEGIN { printf "%.1f", n / t }')
mqtt_per_cycle=$(ratio "$received" "$device_cycles")
read -r user sys rss < <(tail -n 1 "$work/mqtt.jsonl.time")
mqtt_cpu=$(awk -v u="$user" -v s="$sys" -v t="$seconds" 'BEGIN { printf "%.2f", (u + s) / t * 100 }')

echo
echo "cycle of $devices controllers at 9600 baud (kestrane-sim --pace), over ${seconds} s"
echo "floor: $devices x $floor ms (one controller's eight blocks on the wire) = $floor8 ms"
printf '%4s  %9s  %8s\n' bus "cycle ms" "/floor"
for i in $(seq 0 $((buses - 1))); do
    c=$(cycle_ms "$work/fast.jsonl" "$i")
    printf '%4s  %9s  %8s\n' "$i" "$c" "$(ratio "$c" "$floor8")"
done
alone=$(cycle_ms "$work/fast.jsonl" 0)
dead=$(cycle_ms "$work/dead.jsonl" 0)
probes=$(jq -c 'select(.address == 9)' "$work/dead.jsonl" | wc -l)
echo "with a dead ninth address: $dead ms, $(ratio "$dead" "$alone") x the bus without it" \
    "(the dead one asked $probes times)"
read -r user sys rss < <(tail -n 1 "$work/slow.jsonl.time")
awk -v u="$user" -v s="$sys" -v t="$seconds" -v m="$rss" 'BEGIN {
    printf "poll_interval_s = 5: processor %.2f%% of one core, peak RSS %.1f MB\n", (u + s) / t * 100, m / 1024 }'
read -r user sys rss < <(tail -n 1 "$work/fast.jsonl.time")
awk -v u="$user" -v s="$sys" -v t="$seconds" -v m="$rss" 'BEGIN {
    printf "poll_interval_s = 0: processor %.2f%% of one core, peak RSS %.1f MB\n", (u + s) / t * 100, m / 1024 }'
echo "MQTT at a subscriber (poll_interval_s = 0, $buses buses): $mqtt_rate messages/s of state and link," \
    "$mqtt_per_cycle per device cycle (2 expected: state and link); processor $mqtt_cpu% of one core"
