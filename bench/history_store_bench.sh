#!/usr/bin/env bash
# The bridge's history on a year of eight controllers:
#
# 1. kestrane-loggen writes 365 days of 60-second records for each of eight
#    controllers into <tmp>/sn-.../ folders, and history_store_bench reads
#    them through HistoryStore: the days of all eight with their totals (cold:
#    page cache dropped, when this user may; warm: a new store on files in
#    the page cache; cached: the same store asked again), a day as 1440
#    buckets, 31 days as 1000 buckets, and a year of one controller's day
#    totals, each beside the floor of reading the same files once with plain
#    read(), and the memory the store adds.
# 2. kestrane-bridge against four kestrane-sim --pace buses of eight
#    controllers at poll_interval_s = 5, once without history and once
#    writing it every second: the processor time the writer adds.
#
# usage: bench/history_store_bench.sh [build-dir] [seconds per bridge run, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-60}

[ -f "$build/CMakeCache.txt" ] || { echo "history_store_bench: $build is not a CMake build directory" >&2; exit 1; }
if ! cmake --build "$build" --target kestrane-loggen kestrane-sim kestrane-bridge history_store_bench \
    >/dev/null 2>"$build/history_store_bench-build.log"; then
    echo "history_store_bench: building failed:" >&2
    tail -n 5 "$build/history_store_bench-build.log" >&2
    exit 1
fi
[ -x /usr/bin/time ] || { echo "history_store_bench: needs /usr/bin/time (package time)" >&2; exit 1; }
loggen="$build/tools/kestrane-loggen"
sim="$build/tools/kestrane-sim"
bridge="$build/tools/kestrane-bridge"

work=$(mktemp -d)
. bench/bridge_sims.sh
trap 'stop_sims; rm -rf "$work"' EXIT

echo "history_store_bench: writing 365 days x 8 controllers, a record every 60 s" >&2
for i in $(seq 1 8); do
    "$loggen" "$work/history/sn-ks2025b00000000$i" --first 2025-01-01 --days 365 --interval 60 \
        --seed "$i" >/dev/null &
    if [ $((i % 2)) -eq 0 ]; then wait; fi
done
wait
echo "history_store_bench: reading them through the store" >&2
"$build/bench/history_store_bench" "$work/history" >"$work/store.tsv"

echo "history_store_bench: kestrane-bridge, $buses x $devices controllers, poll_interval_s = 5," \
    "${seconds} s without and ${seconds} s with history every second" >&2
start_sims "$buses"
# run NAME: the bridge for $seconds with the current HISTORY_* settings.
run() {
    config "$work/$1.toml" 5 "$buses"
    /usr/bin/time -f '%U %S %M' -o "$work/$1.time" \
        timeout -s INT "$seconds" "$bridge" --json-lines --config "$work/$1.toml" \
        >/dev/null 2>"$work/$1.err" || true
}
HISTORY_INTERVAL=0 run off
HISTORY_INTERVAL=1 HISTORY_DIR="$work/bridge-history" run on
stop_sims
records=$(cat "$work"/bridge-history/*/*.csv 2>/dev/null | grep -c 'onnected,' || true)
folders=$(find "$work/bridge-history" -mindepth 1 -maxdepth 1 -type d 2>/dev/null | wc -l)
cpu() {
    read -r user sys _ < <(tail -n 1 "$work/$1.time")
    awk -v u="$user" -v s="$sys" -v t="$seconds" 'BEGIN { printf "%.3f", (u + s) / t * 100 }'; }
off=$(cpu off)
on=$(cpu on)

field() { awk -F '\t' -v k="$1" -v n="$2" '$1 == k { print $n }' "$work/store.tsv"; }
# row LABEL KEY TARGET: ours (wall / processor time), the target, the floor
# and ours / floor (wall).
row() {
    local ms floor cpu
    ms=$(field "$2" 2)
    floor=$(field "$2" 3)
    cpu=$(field "$2" 4)
    [ -n "$ms" ] || return 0
    awk -v l="$1" -v m="$ms" -v f="$floor" -v c="$cpu" -v t="$3" 'BEGIN {
        r = f > 0 ? sprintf("%.1f", m / f) : "-"
        printf "| %s | %.1f / %.1f ms | %s | %.2f ms | %s |\n", l, m, c, t, f, r }'
}

echo
echo "$(field info 2); cold: $([ "$(field cold 2)" = yes ] && echo "page cache dropped before each cold figure" ||
    echo "no cold figures (cannot drop the page cache)")"
echo
echo "| measure | HistoryStore (wall / processor) | target | floor: read() every byte of the same files once | / floor |"
echo "|---|---|---|---|---|"
row "days of all 8 controllers with totals, cold" all_cold ""
row "days of all 8 controllers with totals, warm (new store)" all_warm ""
row "days of all 8 controllers with totals, cached (same store again)" all_cached ""
row "one day as 1440 buckets (median of 15 days)" day "≤ 15 ms"
row "31 days as 1000 buckets (median of 5)" month "≤ 120 ms"
row "365 day totals, cold" year_cold "≤ 500 ms"
row "365 day totals, warm (new store)" year_warm "≤ 50 ms"
row "365 day totals, cached (same store again)" year_cached "≤ 50 ms"
awk -F '\t' '$1 == "memory" { printf "| memory the store adds: peak / still held at the end | %s / %s MB | ≤ 30 MB | | |\n", $2, $3 }' \
    "$work/store.tsv"
awk -v a="$off" -v b="$on" -v r="$records" -v f="$folders" -v t="$seconds" 'BEGIN {
    printf "| bridge processor, 32 controllers, poll 5 s: history every 1 s minus none | %+.3f %% of one core (%.3f %% - %.3f %%; %d records in %d folders in %d s) | ≤ 0.5 %% | | |\n",
        b - a, b, a, r, f, t }'
