#!/usr/bin/env bash
# Read-cycle speed of `kestrane-cli read` beside a plain libmodbus master,
# both against the same `kestrane-sim --pace` (a line that takes the wire time
# of every byte), at 9600 and 115200 baud, with one controller and with eight
# on the line. Prints the median cycle time of both, their ratio, and the
# wire-time floor the simulator reports (times the number of controllers).
# A cycle is one sweep of the eight read blocks over every address.
#
# usage: bench/read_bench.sh [build-dir]
# environment: COUNT cycles per run (default 20); KESTRANE_CLI another
# kestrane-cli to measure (default the one in the build directory)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${COUNT:-20}

[ -f "$build/CMakeCache.txt" ] || { echo "read_bench: $build is not a CMake build directory" >&2; exit 1; }
if ! cmake --build "$build" --target kestrane-sim kestrane-cli modbus_read_loop >/dev/null 2>"$build/read_bench-build.log"; then
    echo "read_bench: building failed (is libmodbus-dev and libcli11-dev installed?):" >&2
    tail -n 5 "$build/read_bench-build.log" >&2
    exit 1
fi
sim="$build/tools/kestrane-sim"
cli=${KESTRANE_CLI:-$build/tools/kestrane-cli}
loop="$build/bench/modbus_read_loop"

. bench/sim_process.sh

# median FILE: the median= value of the stats line in FILE, or nothing.
median() { sed -n 's/^cycle-time-ms .*median=\([0-9.]*\).*/\1/p' "$1" | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print "-"; else printf "%.3f", a / b }'; }

format='%6s  %7s  %9s  %9s  %8s  %9s  %8s  %8s  %9s'
rows=()
notes=()
for baud in 9600 115200; do
    for addresses in 1 1,2,3,4,5,6,7,8; do
        devices=$(echo "$addresses" | tr ',' '\n' | wc -l)
        start_sim read_bench --pace --baud "$baud" --devices "$addresses"
        floor=$(sed -n 's/^wire-time floor per cycle: \([0-9.]*\) ms.*/\1/p' "$work/sim.err")
        floor=$(awk -v f="$floor" -v n="$devices" 'BEGIN { printf "%.1f", f * n }')
        # The same floor without the inter-frame gaps, which a master that
        # does not keep them (libmodbus) can come down to.
        nogap=$(awk -v f="$floor" -v b="$baud" -v n="$devices" \
            'BEGIN { printf "%.1f", f - 8 * n * (b > 19200 ? 1.75 : 35000 / b) }')

        echo "read_bench: $baud baud, $devices controller(s): libmodbus loop" >&2
        peer_status=0
        "$loop" --port "$port" --baud "$baud" --address "$addresses" --count "$count" \
            2>"$work/peer.err" || peer_status=$?
        peer=$(median "$work/peer.err")
        [ "$peer_status" -eq 0 ] || notes+=("libmodbus at $baud baud, $devices controller(s) exited $peer_status: $(head -n 1 "$work/peer.err")")

        echo "read_bench: $baud baud, $devices controller(s): kestrane-cli read" >&2
        ours_status=0
        "$cli" read --port "$port" --baud "$baud" --address "$addresses" --count "$count" --stats \
            >/dev/null 2>"$work/ours.err" || ours_status=$?
        ours=$(median "$work/ours.err")
        if [ -z "$ours" ]; then
            notes+=("kestrane-cli read at $baud baud, $devices controller(s) gave no stats (exit $ours_status): $(head -n 1 "$work/ours.err")")
        elif [ "$ours_status" -ne 0 ]; then
            notes+=("kestrane-cli read at $baud baud, $devices controller(s) exited $ours_status")
        fi
        stop_sim

        rows+=("$(printf "$format" "$baud" "$devices" "${ours:--}" "${peer:--}" \
            "$(ratio "$ours" "$peer")" "$floor" "$(ratio "$ours" "$floor")" \
            "$(ratio "$peer" "$floor")" "$nogap")")
    done
done

echo
echo "median cycle time in ms over $count cycles against kestrane-sim --pace (turnaround 2 ms)"
printf "$format\n" baud devices ours libmodbus ours/lib floor ours/flr lib/flr "no-gap"
for row in "${rows[@]}"; do echo "$row"; done
echo "floor: request and reply bytes at ten bits a character, 2 ms turnaround and the"
echo "inter-frame gap before each request, for all eight blocks of every controller;"
echo "no-gap: the same floor without the inter-frame gaps"
for note in "${notes[@]}"; do echo "note: $note"; done
[ ${#notes[@]} -eq 0 ]
