#!/usr/bin/env bash
# A real Prometheus server scrapes the real bridge's /metrics: kestrane-sim
# with two controllers on a pseudo-terminal, kestrane-bridge polling it with
# its web server on 127.0.0.1, and Prometheus (Debian's package) scraping
# every second until its query API answers kestrane_battery_volts with one
# series per controller. Exits 77 (skipped) when Prometheus is missing.
#
# usage: prometheus_scrape_test.sh path/to/kestrane-sim path/to/kestrane-bridge
set -u
sim="${1:?usage: prometheus_scrape_test.sh kestrane-sim kestrane-bridge}"
bridge="${2:?usage: prometheus_scrape_test.sh kestrane-sim kestrane-bridge}"
prometheus=$(command -v prometheus || echo /usr/bin/prometheus)
[ -x "$prometheus" ] || { echo "prometheus not installed"; exit 77; }
command -v curl >/dev/null || { echo "FAIL: needs curl"; exit 1; }
command -v jq >/dev/null || { echo "FAIL: needs jq"; exit 1; }

. "$(dirname "$0")/../support/scratch_processes.sh"

start_sim "$sim" 1,2

# Port 0: the bridge takes a free port and says which in its log.
cat >"$dir/bridge.toml" <<CONF
poll_interval_s = 1
[history]
dir = "$dir/history"
[web]
listen = "127.0.0.1:0"
[[bus]]
port = "$dir/bus"
devices = [ { address = 1, name = "Roof \"east\"" }, { address = 2 } ]
CONF
"$bridge" --config "$dir/bridge.toml" >"$dir/bridge.log" 2>&1 &
pids+=($!)
bridge_port() { sed -n 's|.*web page on http://127\.0\.0\.1:\([0-9]*\).*|\1|p' "$dir/bridge.log" | head -n 1; }
has_port() { [ -n "$(bridge_port)" ]; }
wait_for 20 has_port || fail "bridge did not open its web port"
target="127.0.0.1:$(bridge_port)"

# Prometheus cannot take port 0 and report it, so a free port is picked and
# another tried when Prometheus finds it taken meanwhile.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
cat >"$dir/prometheus.yml" <<CONF
global:
  scrape_interval: 1s
  scrape_timeout: 1s
scrape_configs:
  - job_name: kestrane
    static_configs:
      - targets: ["$target"]
CONF
prom_port=""
for attempt in 1 2 3; do
    port=$(free_port)
    "$prometheus" --config.file="$dir/prometheus.yml" --storage.tsdb.path="$dir/tsdb" \
        --web.listen-address="127.0.0.1:$port" >"$dir/prometheus.log" 2>&1 &
    pid=$!
    pids+=("$pid")
    ready() { curl -fs "http://127.0.0.1:$port/-/ready" >/dev/null || ! kill -0 "$pid" 2>/dev/null; }
    wait_for 60 ready || fail "prometheus did not get ready"
    if kill -0 "$pid" 2>/dev/null; then prom_port=$port; break; fi
    echo "prometheus did not start on port $port (attempt $attempt)"
done
[ -n "$prom_port" ] || fail "prometheus did not start"

query() {
    curl -fsG "http://127.0.0.1:$prom_port/api/v1/query" --data-urlencode "query=$1"
}
series() { query "$1" | jq -r '.data.result | length'; }
two_series() { [ "$(series kestrane_battery_volts)" = 2 ]; }
wait_for 60 two_series || fail "no two series of kestrane_battery_volts: $(query kestrane_battery_volts)"

# The scrape itself was clean, and the labels arrived as the bridge wrote them.
[ "$(query 'up{job="kestrane"}' | jq -r '.data.result[0].value[1]')" = 1 ] ||
    fail "target not up: $(query 'up')"
names=$(query kestrane_battery_volts | jq -r '[.data.result[].metric.name] | sort | join("|")')
[ "$names" = 'Controller 2|Roof "east"' ] || fail "labels: $names"
joules=$(series 'kestrane_charged_energy_joules_total')
[ "$joules" = 2 ] || fail "energy counters: $joules series"

echo "prometheus scrape: two controllers scraped by a real Prometheus"
exit 0
