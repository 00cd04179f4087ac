#!/usr/bin/env bash
# How long `kestrane-bridge setup --yes` searches a bus, default and --full,
# against the simulator on a wire-paced line (`--pace`): a bus answering only
# at 19200 baud with address 7 (`--strict-line`), one at 9600 baud with
# addresses 1 and 2, and one whose only controller sits at address 200 (not
# among the likely addresses the default search asks). Prints, per bus and
# search, what was found, the probes and the search's own seconds.
#
# usage: bench/setup_search.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

[ -f "$build/CMakeCache.txt" ] || { echo "setup_search: $build is not a CMake build directory" >&2; exit 1; }
cmake --build "$build" --target kestrane-sim kestrane-bridge >/dev/null
sim="$build/tools/kestrane-sim"
bridge="$build/tools/kestrane-bridge"

. bench/sim_process.sh

printf '%-34s  %-8s  %-22s  %6s  %8s\n' bus search found probes seconds
for scenario in ${SCENARIOS:-"7:19200:--strict-line" "1,2:9600:" "200:9600:"}; do
    IFS=: read -r devices baud extra <<<"$scenario"
    for search in default full; do
        rm -f "$work/bridge.toml"
        # shellcheck disable=SC2086  # $extra is one option or none
        start_sim setup_search --pace --baud "$baud" --devices "$devices" $extra
        full=""
        [ "$search" = full ] && full=--full
        status=0
        "$bridge" setup --yes $full --config "$work/bridge.toml" --port "$port" \
            >"$work/setup.out" 2>/dev/null || status=$?
        stop_sim
        [ "$status" -le 3 ] || { echo "setup_search: setup ended with status $status" >&2; exit 1; }
        # "  2 controllers at 9600 baud (17 probes in 1.29 s)" or "  no controller answered (...)"
        line=$(grep -E '^  ([0-9]+ controllers? at|no controller answered)' "$work/setup.out" || true)
        probes=$(echo "$line" | sed -n 's/.*(\([0-9]*\) probes\? in .*/\1/p')
        seconds=$(echo "$line" | sed -n 's/.* in \([0-9.]*\) s.*/\1/p')
        found=$({ grep -o 'found address [0-9]* at [0-9]* baud' "$work/setup.out" || true; } |
            awk '{ a = a sep $3; sep = "," } END { print (a == "" ? "none" : "address " a) }')
        printf '%-34s  %-8s  %-22s  %6s  %8s\n' "$devices at $baud baud ${extra:+($extra)}" \
            "$search" "$found" "$probes" "$seconds"
    done
done
