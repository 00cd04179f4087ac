#!/usr/bin/env bash
# The bridge's web side under the load of four simulated buses of eight
# controllers each (9600 baud, kestrane-sim --pace), poll_interval_s = 5:
#
# a. GET /metrics for the 32 controllers over loopback: the median time of a
#    request on a kept-alive connection, against the floor of the smallest
#    API answer (GET /api/v1/session) measured the same way.
# b. 50 open live streams (GET /api/v1/events): the bridge's processor time
#    as a share of one core and its resident memory, from /proc, against the
#    same bridge without streams measured just before.
# c. The page's own bytes (src/web/assets) beside Debian's Chart.js.
# d. In a headless Chromium: navigation to the first live value on the
#    overview, decode-to-page latency of live updates (state.timestamp against
#    the first frame after the card changed), and the day and 31-day charts
#    from their request to drawn, over a history made by kestrane-loggen.
#
# usage: bench/web_bench.sh [build-dir, default build-rel] [seconds, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-rel}
seconds=${2:-60}

[ -f "$build/CMakeCache.txt" ] || { echo "web_bench: $build is not a CMake build directory" >&2; exit 1; }
if ! cmake --build "$build" --target kestrane-sim kestrane-bridge kestrane-loggen >/dev/null \
    2>"$build/web_bench-build.log"; then
    echo "web_bench: building failed:" >&2
    tail -n 5 "$build/web_bench-build.log" >&2
    exit 1
fi
sim="$build/tools/kestrane-sim"
bridge="$build/tools/kestrane-bridge"
loggen="$build/tools/kestrane-loggen"
for tool in jq curl python3; do
    command -v "$tool" >/dev/null || { echo "web_bench: needs $tool" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
streams_pid=""
cleanup() {
    [ -n "$streams_pid" ] && kill "$streams_pid" 2>/dev/null
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
# wait_for SECONDS WHAT COMMAND...: COMMAND every 0.2 s until it succeeds.
wait_for() {
    local deadline=$((SECONDS + $1)) what=$2
    shift 2
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || {
            echo "web_bench: $what did not happen in time" >&2
            tail -n 20 "$work/bridge.log" >&2 2>/dev/null
            exit 1
        }
        sleep 0.2
    done
}

buses=4
devices=8
addresses=$(seq -s, 1 "$devices")
for i in $(seq 0 $((buses - 1))); do
    "$sim" --pace --baud 9600 --devices "$addresses" --seed $((i + 1)) \
        >"$work/sim.$i.out" 2>"$work/sim.$i.err" &
    pids+=($!)
done
for i in $(seq 0 $((buses - 1))); do
    wait_for 20 "simulator $i" test -s "$work/sim.$i.out"
    head -n 1 "$work/sim.$i.out" >"$work/port.$i"
done

{
    printf 'poll_interval_s = 5\n[history]\ndir = "%s"\n' "$work/history"
    printf '[web]\nlisten = "127.0.0.1:0"\nmax_per_address = 64\nmax_connections = 128\n'
    for i in $(seq 0 $((buses - 1))); do
        list=""
        for a in $(seq 1 "$devices"); do list+="{ address = $a }, "; done
        printf '[[bus]]\nport = "%s"\ndevices = [ %s]\n' "$(cat "$work/port.$i")" "$list"
    done
} >"$work/bridge.toml"
"$bridge" --config "$work/bridge.toml" >"$work/bridge.log" 2>&1 &
bridge_pid=$!
pids+=("$bridge_pid")
port() { sed -n 's|.*web page on http://127\.0\.0\.1:\([0-9]*\).*|\1|p' "$work/bridge.log" | head -n 1; }
has_port() { [ -n "$(port)" ]; }
wait_for 20 "the bridge's web port" has_port
base="http://127.0.0.1:$(port)"
all_online() {
    [ "$(curl -fs "$base/api/v1/devices" |
        jq '[.devices[] | select(.online)] | length')" = $((buses * devices)) ]
}
echo "web_bench: waiting for all $((buses * devices)) controllers" >&2
wait_for 120 "all controllers online" all_online

# a. Median of 200 requests on one kept-alive connection (curl's own timing).
median_ms() {
    local args=()
    for _ in $(seq 200); do args+=(-o /dev/null "$base$1"); done
    curl -fs -w '%{time_total}\n' "${args[@]}" |
        sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] * 1000 }'
}
metrics_bytes=$(curl -fs "$base/metrics" | wc -c)
metrics_lines=$(curl -fs "$base/metrics" | grep -vc '^#')
echo "web_bench: /metrics ($metrics_bytes bytes) and the floor" >&2
metrics_ms=$(median_ms /metrics)
floor_ms=$(median_ms /api/v1/session)

# b. The bridge's processor time and memory over $seconds, from /proc.
ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$bridge_pid/stat"; }
rss_mb() { awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$bridge_pid/status"; }
hwm_mb() { awk '/^VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$bridge_pid/status"; }
# measure: "cpu-percent rss-mb" over $seconds.
measure() {
    local before after
    before=$(cpu_ticks)
    local start=$EPOCHREALTIME
    sleep "$seconds"  # the measuring window itself
    after=$(cpu_ticks)
    awk -v b="$before" -v a="$after" -v hz="$ticks" -v s="$start" -v e="$EPOCHREALTIME" -v r="$(rss_mb)" \
        'BEGIN { printf "%.2f %s\n", (a - b) / hz / (e - s) * 100, r }'
}
echo "web_bench: no streams, ${seconds} s" >&2
read -r idle_cpu idle_rss < <(measure)
echo "web_bench: 50 live streams, ${seconds} s" >&2
coproc STREAMS { exec python3 bench/open_streams.py 127.0.0.1 "$(port)" 50; }
streams_pid=$STREAMS_PID
read -r -t 90 opened <&"${STREAMS[0]}" || opened="no answer"
[ "$opened" = "open 50" ] || { echo "web_bench: streams: $opened" >&2; exit 1; }
read -r streams_cpu streams_rss < <(measure)
streams_hwm=$(hwm_mb)
kill "$streams_pid" 2>/dev/null || true
wait "$streams_pid" 2>/dev/null || true
streams_pid=""

# c. Page weight.
page_bytes=$(find src/web/assets -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
chart_file=/usr/share/javascript/chart.js/Chart.min.js
chart_bytes=$([ -f "$chart_file" ] && stat -L -c %s "$chart_file" || echo 0)
kb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1024 }'; }

# d. The browser: a history of 40 whole days before today for one controller
#    (the bridge itself writes today's file).
device=$(curl -fs "$base/api/v1/devices" | jq -r '.devices[] | select(.id | startswith("sn-")) | .id' | head -n 1)
first=$(date -d '40 days ago' +%F)
"$loggen" "$work/history/$device" --first "$first" --days 40 --clean >/dev/null
browser="{}"
if [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import selenium' 2>/dev/null && command -v chromium >/dev/null; then
    echo "web_bench: headless Chromium" >&2
    browser=$(/usr/bin/python3 bench/web_page_timing.py "$base" "$device" 20 2>"$work/browser.err") ||
        { echo "web_bench: browser timings failed:" >&2; tail -n 5 "$work/browser.err" >&2; browser="{}"; }
else
    echo "web_bench: no Chromium or selenium; browser timings left out" >&2
fi
b() { jq -r ".$1 // \"-\"" <<<"$browser"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "-"; else printf "%.2f", a / b }'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { if (v == "-" || v == "" || t == "-") print "-"; else print (v + 0 <= t + 0 ? "ok" : "OVER") }'; }
row() { printf '%-52s %12s %10s %6s  %s\n' "$1" "$2" "$3" "$(verdict "$2" "$4")" "$5"; }

echo
echo "web side of kestrane-bridge: $buses buses x $devices controllers (kestrane-sim --pace, 9600 baud), poll_interval_s = 5"
printf '%-52s %12s %10s %6s  %s\n' measure value target "" "beside"
row "/metrics, median over loopback (ms)" "$metrics_ms" "<= 5" 5 \
    "floor GET /api/v1/session $floor_ms ms, ratio $(ratio "$metrics_ms" "$floor_ms"); $metrics_lines samples, $(kb "$metrics_bytes") KB"
row "50 live streams: processor (% of one core)" "$streams_cpu" "<= 2" 2 \
    "no streams: $idle_cpu %, over ${seconds} s each"
row "50 live streams: resident memory (MB)" "$streams_rss" "<= 30" 30 \
    "no streams: $idle_rss MB; peak $streams_hwm MB"
row "page weight, src/web/assets (KB)" "$(kb "$page_bytes")" "<= 150" 150 \
    "Chart.js (Debian) $(kb "$chart_bytes") KB"
row "navigation to first live value (ms, median of 5)" "$(b first_value_ms)" "<= 300" 300 \
    "page's scripts done $(b dom_loaded_ms) ms, device list answered $(b devices_answer_ms) ms"
row "decode-to-page latency, median (ms)" "$(b decode_to_page_median_ms)" "<= 50" 50 \
    "$(b live_updates) live updates over 20 s"
row "decode-to-page latency, p95 (ms)" "$(b decode_to_page_p95_ms)" "-" - ""
row "day chart, request to drawn (ms, median of 5)" "$(b day_chart_ms)" "<= 150" 150 \
    "$(b day_chart_points) points"
row "31-day chart, request to drawn (ms, median of 5)" "$(b days31_chart_ms)" "<= 400" 400 ""
