#!/usr/bin/env bash
# The arm64 programs on the build machine, as a Raspberry Pi would run them:
# each is an ARM aarch64 executable that answers --version under qemu-user,
# and the arm64 kestrane-bridge polls the build machine's own (amd64)
# kestrane-sim over a pseudo-terminal and publishes both controllers to a
# real mosquitto on 127.0.0.1, then stops cleanly on SIGTERM.
#
# usage: arm64_bridge_test.sh NATIVE-SIM ARM64-BRIDGE ARM64-CLI ARM64-SIM
# KESTRANE_TARGET_EMULATOR overrides the emulator's command line (default:
# qemu-aarch64-static with libc6:arm64's C library). The emulator is
# named on every start: the kernel may have no binfmt_misc entry for arm64.
set -u
usage="usage: arm64_bridge_test.sh NATIVE-SIM ARM64-BRIDGE ARM64-CLI ARM64-SIM"
sim="${1:?$usage}"
bridge="${2:?$usage}"
cli="${3:?$usage}"
arm_sim="${4:?$usage}"
read -r -a emulator <<<"${KESTRANE_TARGET_EMULATOR:-qemu-aarch64-static -L /}"
mosquitto=$(command -v mosquitto || echo /usr/sbin/mosquitto)
for tool in file jq mosquitto_sub "${emulator[0]}" "$mosquitto"; do
    command -v "$tool" >/dev/null || { echo "FAIL: needs $tool"; exit 1; }
done

. "$(dirname "$0")/../support/scratch_processes.sh"

version=$(sed -n 's/^project(KestraneMonitor VERSION \([0-9.]*\).*/\1/p' \
    "$(dirname "$0")/../../CMakeLists.txt")
for program in "$bridge" "$cli" "$arm_sim"; do
    file -b "$program" | grep -q 'ELF 64-bit.*ARM aarch64' ||
        fail "$program is not an ARM aarch64 executable: $(file -b "$program")"
    answer=$("${emulator[@]}" "$program" --version 2>&1)
    [ "$answer" = "$(basename "$program") $version" ] ||
        fail "$program --version under qemu answered: $answer"
done

# Mosquitto cannot take port 0 and report it: a free port is picked, and
# another tried when mosquitto finds it taken meanwhile.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
broker_port=""
for attempt in 1 2 3; do
    port=$(free_port)
    # Started by root, mosquitto would become user "mosquitto" and could not
    # read the scratch folder.
    printf 'listener %s 127.0.0.1\npersistence false\nallow_anonymous true\nuser %s\n' \
        "$port" "$(id -un)" >"$dir/mosquitto.conf"
    "$mosquitto" -c "$dir/mosquitto.conf" >"$dir/mosquitto.log" 2>&1 &
    pid=$!
    pids+=("$pid")
    accepts() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || ! kill -0 "$pid" 2>/dev/null; }
    wait_for 20 accepts
    if kill -0 "$pid" 2>/dev/null; then broker_port=$port; break; fi
    echo "mosquitto did not start on port $port (attempt $attempt)"
done
[ -n "$broker_port" ] || fail "mosquitto did not start"

mosquitto_sub -h 127.0.0.1 -p "$broker_port" -v -t 'kestrane/+/state' \
    -t 'kestrane/bridge/availability' >"$dir/messages.log" 2>"$dir/sub.log" &
pids+=($!)

start_sim "$sim" 1,2

cat >"$dir/bridge.toml" <<CONF
poll_interval_s = 1
[mqtt]
host = "127.0.0.1"
port = $broker_port
client_id = "kestrane-arm64"
[history]
dir = "$dir/history"
[[bus]]
port = "$dir/bus"
devices = [ { address = 1, name = "East" }, { address = 2, name = "West" } ]
CONF
"${emulator[@]}" "$bridge" --config "$dir/bridge.toml" >"$dir/bridge.log" 2>&1 &
bridge_pid=$!
pids+=("$bridge_pid")

# Both controllers' states with a battery voltage, under the ids the bridge
# settles on once it has read their serial numbers (before that it publishes
# them as bus0-addrN), and the bridge online.
states() { grep '^kestrane/[^ ]*/state ' "$dir/messages.log"; }
published_ids() {
    states | jq -Rr 'split(" ") as $w | ($w[1:] | join(" ") | fromjson) as $state
        | select($state.battery_voltage | type == "number") | $w[0]' 2>/dev/null |
        grep '^kestrane/sn-' | sort -u
}
both_published() { [ "$(published_ids | wc -l)" -eq 2 ]; }
wait_for 120 both_published || fail "the arm64 bridge did not publish both controllers"
grep -qx 'kestrane/bridge/availability online' "$dir/messages.log" ||
    fail "the arm64 bridge did not say it is online"

kill -TERM "$bridge_pid"
wait_for 30 eval "! running $bridge_pid" || fail "the arm64 bridge did not stop on SIGTERM"
wait "$bridge_pid"
status=$?
[ "$status" -eq 0 ] || fail "the arm64 bridge ended with status $status on SIGTERM"

echo "arm64: bridge, cli and sim are ARM aarch64 and answer --version under qemu;" \
    "the arm64 bridge published both simulated controllers to mosquitto"
exit 0
