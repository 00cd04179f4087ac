#!/usr/bin/env bash
# The whole bridge for a long while under every fault at once: kestrane-bridge
# with MQTT (a real mosquitto), the web page (viewer and admin passwords),
# /metrics and history every second, against four kestrane-sim --pace buses
# of eight controllers with line faults (2 % dropped, 1 % corrupted, 5 % split
# replies, 1 % noise), while
#   - bus 0's simulator hangs up and comes back every 2 minutes (20 s away),
#   - bus 3, a TCP serial server, disappears and returns (every 7 minutes,
#     30 s away, at least once),
#   - the broker is killed (SIGKILL) and restarted every 3 minutes (5 s away),
#   - 20 live pages open and drop their streams at random,
#   - /metrics is scraped every 5 s,
#   - the history folder, on a small tmpfs of its own, fills once and is freed
#     a minute later (where mounting is refused, the folder is replaced by a
#     plain file for that minute instead).
# After the warm-up (one minute) and at the end it reads the bridge's resident
# memory, descriptors, threads and processor time from /proc, with every fault
# healed and every page closed, and prints the figures beside their targets
# (bench/soak_report.py). Exits 1 on a crash, a stall or a torn history line;
# SOAK_STRICT=1 fails on the other figures too.
#
# usage: bench/soak.sh [minutes, default 20] (SOAK_BUILD: build folder, default build)
set -euo pipefail
# Everything in one group, which bash reads whole before it runs it: the
# script may be edited while a long run goes on.
{
cd "$(dirname "$0")/.."
minutes=${1:-20}
build=${SOAK_BUILD:-build}
[[ $minutes =~ ^[0-9]+$ ]] && [ "$minutes" -ge 1 ] || { echo "usage: bench/soak.sh [minutes]" >&2; exit 2; }
[ -f "$build/CMakeCache.txt" ] || { echo "soak: $build is not a CMake build folder" >&2; exit 2; }
if ! cmake --build "$build" --target kestrane-sim kestrane-bridge >"$build/soak-build.log" 2>&1; then
    echo "soak: building failed:" >&2
    tail -n 5 "$build/soak-build.log" >&2
    exit 1
fi
sim=$(realpath "$build/tools/kestrane-sim")
bridge=$(realpath "$build/tools/kestrane-bridge")
broker_bin=$(command -v mosquitto || echo /usr/sbin/mosquitto)
for tool in "$broker_bin" mosquitto_sub mosquitto_pub curl /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "soak: needs $tool" >&2; exit 2; }
done

poll_s=5
history_s=1
buses=4
devices=8
hang_bus=0
tcp_bus=3
pages=20
# The schedule, in seconds: the warm-up, then every fault's period, the time
# it stays away and its first offset after the warm-up. A one-minute run is a
# smoke run: a short warm-up and each fault once, briefly.
if [ "$minutes" -le 2 ]; then
    warmup=20
    hang_every=30 hang_away=8 hang_first=3
    tcp_every=600 tcp_away=8 tcp_first=14
    broker_every=30 broker_away=4 broker_first=8
    fill_at=10 fill_hold=6
else
    warmup=60
    hang_every=120 hang_away=20 hang_first=30
    tcp_every=420 tcp_away=30 tcp_first=200
    broker_every=180 broker_away=5 broker_first=90
    fill_at=$((minutes * 60 * 2 / 5)) fill_hold=60
fi
total=$((minutes * 60))

work=$(mktemp -d /tmp/soak.XXXXXX)
hist="$work/history"
mkdir -p "$hist"
declare -A sim_pid=()
bridge_pid="" broker_pid="" sub_pid="" pages_pid="" stamp_pid="" mounted=""
# Stops everything this script started, in order: the bridge last but one so
# that its goodbye reaches nobody who is gone, the mount last.
cleanup() {
    set +e
    [ -n "$pages_pid" ] && kill "$pages_pid" 2>/dev/null
    if [ -n "$bridge_pid" ]; then
        kill -TERM "$bridge_pid" 2>/dev/null
        for _ in $(seq 100); do kill -0 "$bridge_pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$bridge_pid" 2>/dev/null
        wait "$bridge_pid" 2>/dev/null
    fi
    for pid in "${sim_pid[@]}" $sub_pid $broker_pid $stamp_pid; do kill "$pid" 2>/dev/null; done
    for pid in "${sim_pid[@]}" $sub_pid $broker_pid $pages_pid $stamp_pid; do wait "$pid" 2>/dev/null; done
    if [ -n "${SOAK_KEEP:-}" ]; then
        [ -n "$mounted" ] && cp -a "$hist" "$work/history.kept"
        echo "soak: files kept in $work" >&2
    fi
    [ -n "$mounted" ] && umount "$hist" 2>/dev/null
    [ -n "${SOAK_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

note() { echo "$EPOCHREALTIME $*" >>"$work/events.txt"; }
say() { printf 'soak: %s\n' "$*" >&2; }
# wait_for SECONDS WHAT COMMAND...: COMMAND every 0.1 s until it succeeds.
wait_for() {
    local deadline=$((SECONDS + $1)) what=$2
    shift 2
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || { say "$what did not happen in time"; return 1; }
        sleep 0.1
    done
}

# The history folder on a tmpfs of its own, large enough for the run, so that
# it can be filled without touching the machine's disk.
hist_mb=$((minutes * 60 * buses * devices * 140 / 1048576 + 4))
if mount -t tmpfs -o "size=${hist_mb}m,mode=0755" soak-history "$hist" 2>/dev/null; then
    mounted=1
    fill_how="tmpfs of $hist_mb MB filled with a file"
else
    fill_how="no tmpfs (mount refused): the history folder replaced by a plain file for the while"
fi

# --- simulators: buses 0-2 on pseudo-terminals behind stable links, bus 3 on TCP
tcp_port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
sim_args=(--pace --baud 9600 --devices "$(seq -s, 1 "$devices")" --drop 0.02 --corrupt 0.01
    --split 0.05 --noise 0.01)
port_of() { [ "$1" = "$tcp_bus" ] && echo "tcp://127.0.0.1:$tcp_port" || echo "$work/bus.$1"; }
line_ready() {
    if [ "$1" = "$tcp_bus" ]; then grep -q '^tcp://' "$work/sim.$1.out"; else [ -e "$work/bus.$1" ]; fi
}
start_sim() {
    local i=$1 where
    if [ "$i" = "$tcp_bus" ]; then where=(--tcp-listen "127.0.0.1:$tcp_port"); else where=(--link "$work/bus.$i"); fi
    "$sim" "${sim_args[@]}" --seed $((i + 1 + RANDOM)) "${where[@]}" >"$work/sim.$i.out" 2>>"$work/sim.$i.err" &
    sim_pid[$i]=$!
    wait_for 20 "simulator $i" line_ready "$i"
}
stop_sim() {
    kill "${sim_pid[$1]}" 2>/dev/null || true
    wait "${sim_pid[$1]}" 2>/dev/null || true
    unset "sim_pid[$1]"
}

# --- the broker on a free port, and a subscriber for each of its lives
mqtt_port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$mqtt_port" >"$work/mosquitto.conf"
[ "$(id -u)" = 0 ] && printf 'user root\n' >>"$work/mosquitto.conf"
lives=0
broker_answers() { mosquitto_pub -p "$mqtt_port" -t soak/ping -m 1 2>/dev/null; }
start_broker() {
    "$broker_bin" -c "$work/mosquitto.conf" >>"$work/broker.log" 2>&1 &
    broker_pid=$!
    wait_for 20 "the broker" broker_answers
    lives=$((lives + 1))
    note broker-up
    mosquitto_sub -p "$mqtt_port" -t 'kestrane/+/state' -v >"$work/sub.$lives.txt" 2>/dev/null &
    sub_pid=$!
}
stop_broker() {
    note broker-down
    kill -KILL "$broker_pid" 2>/dev/null || true
    wait "$broker_pid" 2>/dev/null || true
    kill "$sub_pid" 2>/dev/null || true
    wait "$sub_pid" 2>/dev/null || true
    broker_pid="" sub_pid=""
}

for i in $(seq 0 $((buses - 1))); do start_sim "$i"; done
start_broker

# --- the bridge
printf 'soak-viewer-%s\n' "$RANDOM$RANDOM" >"$work/viewer.pw"
printf 'soak-admin-%s\n' "$RANDOM$RANDOM" >"$work/admin.pw"
viewer_hash=$("$bridge" --hash-password <"$work/viewer.pw")
admin_hash=$("$bridge" --hash-password <"$work/admin.pw")
{
    printf 'poll_interval_s = %s\n' "$poll_s"
    printf '[mqtt]\nhost = "127.0.0.1"\nport = %s\nclient_id = "kestrane-soak"\n' "$mqtt_port"
    printf '[history]\ndir = "%s"\ninterval_s = %s\n' "$hist" "$history_s"
    printf '[web]\nlisten = "127.0.0.1:0"\nread_access = "password"\n'
    printf 'viewer_password_hash = "%s"\nadmin_password_hash = "%s"\n' "$viewer_hash" "$admin_hash"
    printf 'max_connections = 64\nmax_per_address = 32\n'
    for i in $(seq 0 $((buses - 1))); do
        list=""
        for a in $(seq 1 "$devices"); do list+="{ address = $a }, "; done
        printf '[[bus]]\nport = "%s"\ndevices = [ %s]\n' "$(port_of "$i")" "$list"
    done
} >"$work/bridge.toml"
chmod 600 "$work/bridge.toml"
# Each JSON line stamped with its arrival, for the times to offline and online.
mkfifo "$work/lines"
/usr/bin/python3 -u -c '
import sys, time
out = open(sys.argv[1], "w", buffering=1)
for line in sys.stdin:
    out.write("%.3f %s" % (time.time(), line))
' "$work/bridge.jsonl" <"$work/lines" &
stamp_pid=$!
"$bridge" --config "$work/bridge.toml" --json-lines >"$work/lines" 2>"$work/bridge.log" &
bridge_pid=$!
note start
web_port() { sed -n 's|.*web page on http://127\.0\.0\.1:\([0-9]*\).*|\1|p' "$work/bridge.log" | head -n 1; }
has_port() { [ -n "$(web_port)" ]; }
wait_for 20 "the bridge's web page" has_port
base="http://127.0.0.1:$(web_port)"
say "$buses buses x $devices controllers, ${minutes} min (warm-up ${warmup} s); files in $work"

# --- the /metrics scraper (a viewer session in a cookie jar) and the pages
curl -fs -c "$work/cookies" -H 'Content-Type: application/json' \
    --data "{\"password\": \"$(cat "$work/viewer.pw")\"}" "$base/api/v1/login" >/dev/null
scrapes=0 scrapes_ok=0
scrape() {
    scrapes=$((scrapes + 1))
    if curl -fs -m 10 -b "$work/cookies" -o "$work/metrics.txt" "$base/metrics"; then
        scrapes_ok=$((scrapes_ok + 1))
    else
        say "scrape $scrapes failed"
    fi
}
/usr/bin/python3 -u bench/soak_pages.py 127.0.0.1 "$(web_port)" "$pages" "$work/viewer.pw" "$RANDOM" \
    >"$work/pages.out" 2>"$work/pages.err" </dev/null &
pages_pid=$!

# --- snapshots of the bridge, with every fault healed and every page closed
proc_figures() {
    local rss threads fds ticks
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$bridge_pid/status")
    threads=$(awk '/^Threads/ { print $2 }' "/proc/$bridge_pid/status")
    fds=$(find "/proc/$bridge_pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
    ticks=$(awk '{ print $14 + $15 }' "/proc/$bridge_pid/stat")
    echo "$rss $fds $threads $ticks $EPOCHREALTIME"
}
bridge_quiet() {
    # Every line open, the broker connected, no page connected.
    curl -fs -m 10 -b "$work/cookies" -o "$work/metrics.quiet" "$base/metrics" || return 1
    [ "$(grep -c '^kestrane_bus_line_open{.*} 1' "$work/metrics.quiet")" = "$buses" ] &&
        grep -q '^kestrane_mqtt_connected 1' "$work/metrics.quiet" &&
        ! ss -Htn state established "( sport = :$(web_port) )" | grep -q .
}
snapshot() {
    kill -USR1 "$pages_pid"
    wait_for 60 "a quiet bridge for the $1 figures" bridge_quiet || true
    # Let the server retire the closed connections' threads.
    sleep 2
    proc_figures >"$work/snap.$1"
    cat "/proc/$bridge_pid/smaps" >"$work/smaps.$1" 2>/dev/null || true
    note "$1"
    kill -USR2 "$pages_pid"
    say "$1: $(awk '{ printf "RSS %.1f MB, %d descriptors, %d threads", $1 / 1024, $2, $3 }' "$work/snap.$1")"
}

alive() { kill -0 "$bridge_pid" 2>/dev/null; }
t0=$SECONDS
next_scrape=0
hang_at=$((warmup + hang_first)) hang_back=-1
tcp_at=$((warmup + tcp_first)) tcp_back=-1
broker_at=$((warmup + broker_first)) broker_back=-1
fill_done=0 fill_back=-1
while alive; do
    now=$((SECONDS - t0))
    [ "$now" -ge "$total" ] && break
    if [ "$now" -ge "$next_scrape" ]; then
        scrape
        proc_figures >>"$work/proc.txt"
        next_scrape=$((now + 5))
    fi
    [ "$now" -ge "$warmup" ] && [ ! -e "$work/snap.warm" ] && snapshot warm
    # No fault starts that could not heal before the end.
    if [ "$now" -ge "$hang_at" ] && [ "$hang_back" -lt 0 ] && [ $((now + hang_away + 15)) -lt "$total" ]; then
        note hangup "$hang_bus"; stop_sim "$hang_bus"; hang_back=$((now + hang_away))
        hang_at=$((hang_at + hang_every))
    fi
    if [ "$hang_back" -ge 0 ] && [ "$now" -ge "$hang_back" ]; then
        start_sim "$hang_bus"; note return "$hang_bus"; hang_back=-1
    fi
    if [ "$now" -ge "$tcp_at" ] && [ "$tcp_back" -lt 0 ] && [ $((now + tcp_away + 15)) -lt "$total" ]; then
        note hangup "$tcp_bus"; stop_sim "$tcp_bus"; tcp_back=$((now + tcp_away))
        tcp_at=$((tcp_at + tcp_every))
    fi
    if [ "$tcp_back" -ge 0 ] && [ "$now" -ge "$tcp_back" ]; then
        start_sim "$tcp_bus"; note return "$tcp_bus"; tcp_back=-1
    fi
    if [ "$now" -ge "$broker_at" ] && [ "$broker_back" -lt 0 ] && [ $((now + broker_away + 15)) -lt "$total" ]; then
        stop_broker; broker_back=$((now + broker_away))
        broker_at=$((broker_at + broker_every))
    fi
    if [ "$broker_back" -ge 0 ] && [ "$now" -ge "$broker_back" ]; then
        start_broker; broker_back=-1
    fi
    if [ "$fill_done" = 0 ] && [ "$now" -ge $((warmup + fill_at)) ] && [ $((now + fill_hold + 15)) -lt "$total" ]; then
        note disk-full
        if [ -n "$mounted" ]; then
            dd if=/dev/zero of="$hist/fill" bs=64k 2>/dev/null || true
        else
            mv "$hist" "$hist.away" && : >"$hist"
        fi
        fill_done=1 fill_back=$((now + fill_hold))
    fi
    if [ "$fill_back" -ge 0 ] && [ "$now" -ge "$fill_back" ]; then
        if [ -n "$mounted" ]; then rm -f "$hist/fill"; else rm -f "$hist" && mv "$hist.away" "$hist"; fi
        note disk-free; fill_back=-1
    fi
    sleep 0.5
done

# --- the end: heal what is still away, let the bridge settle, take the figures
if alive; then
    [ "$hang_back" -ge 0 ] && { start_sim "$hang_bus"; note return "$hang_bus"; }
    [ "$tcp_back" -ge 0 ] && { start_sim "$tcp_bus"; note return "$tcp_bus"; }
    [ "$broker_back" -ge 0 ] && start_broker
    [ ! -e "$work/snap.warm" ] && snapshot warm
    snapshot end
fi
load=$(cut -d' ' -f1-3 /proc/loadavg)
kill "$pages_pid" 2>/dev/null || true
wait "$pages_pid" 2>/dev/null || true
pages_pid=""
pages_line=$(grep '^pages:' "$work/pages.out" | tail -n 1 || true)
stop_start=$EPOCHREALTIME
status=crashed
if alive; then
    kill -TERM "$bridge_pid"
    for _ in $(seq 100); do alive || break; sleep 0.1; done
    if alive; then
        status=hung
        kill -KILL "$bridge_pid"
        wait "$bridge_pid" 2>/dev/null || true
    else
        status=0
        wait "$bridge_pid" || status=$?
    fi
else
    wait "$bridge_pid" 2>/dev/null || status="crashed ($?)"
fi
bridge_pid=""
wait "$stamp_pid" 2>/dev/null || true
stamp_pid=""
{
    echo "exit $status"
    awk -v a="$stop_start" -v b="$EPOCHREALTIME" 'BEGIN { printf "stop_s %.1f\n", b - a }'
    echo "scrapes $scrapes_ok $scrapes"
    echo "pages ${pages_line#pages: }"
    echo "load $load"
} >"$work/outcome.txt"

echo
echo "kestrane-bridge soak, $(date -u '+%Y-%m-%d %H:%M UTC'), ${minutes} min, $(nproc) cores, load $load"
echo "$buses buses x $devices controllers (kestrane-sim --pace, 9600 baud, ${sim_args[*]:5}),"
echo "poll_interval_s = $poll_s, history every $history_s s; history disk: $fill_how"
echo
rc=0
/usr/bin/python3 bench/soak_report.py "$work" "$poll_s" "$history_s" ${SOAK_STRICT:+--strict} || rc=$?
if [ "$rc" != 0 ]; then
    say "the bridge's last log lines:"
    tail -n 20 "$work/bridge.log" >&2
fi
exit "$rc"
}
