#!/usr/bin/env bash
# How long `kestrane-cli doctor` takes to find a controller that is not where
# it was told to look: the simulator on a wire-paced line (`--pace`) that
# answers only at its own rate (`--strict-line`, garbled bytes otherwise), the
# doctor told 9600 baud and address 1. Scenarios: address 7 at 19200 (the
# target: found and reported in at most 60 s), and address 200 at 19200 (the
# given rate swept almost whole first). Prints the doctor's whole run, the
# search alone, its probes, and the search time as a share of the 60 s target.
#
# usage: bench/doctor_search.sh [build-dir]
# environment: CYCLES of the quality run (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cycles=${CYCLES:-5}

[ -f "$build/CMakeCache.txt" ] || { echo "doctor_search: $build is not a CMake build directory" >&2; exit 1; }
cmake --build "$build" --target kestrane-sim kestrane-cli >/dev/null
sim="$build/tools/kestrane-sim"
cli="$build/tools/kestrane-cli"

. bench/sim_process.sh

now() { date +%s.%N; }

printf '%-22s  %7s  %8s  %6s  %-14s  %9s\n' scenario run-s search-s probes found target-share
for scenario in 7:19200 200:19200; do
    address=${scenario%%:*}
    baud=${scenario##*:}
    start_sim doctor_search --pace --strict-line --address "$address" --baud "$baud"
    start=$(now)
    status=0
    "$cli" doctor --port "$port" --baud 9600 --address 1 --cycles "$cycles" \
        >"$work/doctor.out" 2>/dev/null || status=$?
    end=$(now)
    stop_sim
    [ "$status" -le 1 ] || { echo "doctor_search: doctor ended with status $status" >&2; exit 1; }
    run=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
    # "... search over addresses and rates: found at 19200 baud, address 7 (7 probes in 0.53 s)..."
    line=$(grep 'search over addresses and rates' "$work/doctor.out" || true)
    probes=$(echo "$line" | sed -n 's/.*(\([0-9]*\) probes in .*/\1/p')
    search=$(echo "$line" | sed -n 's/.* probes in \([0-9.]*\) s.*/\1/p')
    found=$(echo "$line" | sed -n 's/.*found at \([0-9]*\) baud, address \([0-9]*\) .*/\2@\1/p')
    share=$(awk -v s="$search" 'BEGIN { if (s == "") print "-"; else printf "%.3f", s / 60 }')
    found=${found:-no}
    printf '%-22s  %7s  %8s  %6s  %-14s  %9s\n' "address $address, $baud baud" "$run" "$search" \
        "$probes" "$found" "$share"
done
