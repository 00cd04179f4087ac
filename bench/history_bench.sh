#!/usr/bin/env bash
# The history viewer on a year of logs: writes 365 daily files with the
# program's own log writer (kestrane-loggen, one record per 55 s), then runs
# history_bench offscreen: listing the days and building the days view, the
# switch to a day, the memory the window adds, and the floor of reading every
# byte of the folder once in the same run. Files come from the page cache.
#
# usage: bench/history_bench.sh [build-dir] [days]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
days=${2:-365}
loggen="$build/tools/kestrane-loggen"
bench="$build/bench/history_bench"
for exe in "$loggen" "$bench"; do
    [ -x "$exe" ] || { echo "history_bench: $exe not built" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$loggen" "$work" --first 2025-01-01 --days "$days"
cat "$work"/*.csv >/dev/null
QT_QPA_PLATFORM=offscreen "$bench" "$work"
