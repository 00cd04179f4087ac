# Sourced by the bridge's bench scripts: simulated buses of eight controllers
# at 9600 baud, every byte taking its wire time (kestrane-sim --pace), and the
# bridge's config for them. Needs $sim (the simulator) and $work (a scratch
# folder); the caller's EXIT trap calls stop_sims.
buses=4
devices=8
sim_pids=()
stop_sims() {
    for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${sim_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    sim_pids=()
}

# start_sims N: N simulated buses; their ports in $work/port.<i>.
start_sims() {
    for i in $(seq 0 $(($1 - 1))); do
        "$sim" --pace --baud 9600 --devices "$(seq -s, 1 "$devices")" --seed $((i + 1)) \
            >"$work/sim.$i.out" 2>"$work/sim.$i.err" &
        sim_pids+=($!)
    done
    for i in $(seq 0 $(($1 - 1))); do
        for _ in $(seq 200); do
            [ -s "$work/sim.$i.out" ] && grep -q '^wire-time floor' "$work/sim.$i.err" && break
            sleep 0.1
        done
        head -n 1 "$work/sim.$i.out" >"$work/port.$i"
        [ -s "$work/port.$i" ] || { echo "bench: simulator $i did not start" >&2; cat "$work/sim.$i.err" >&2; exit 1; }
    done
}

# config FILE INTERVAL BUSES [EXTRA-ADDRESS]: history off unless
# HISTORY_INTERVAL is set (and then in HISTORY_DIR, when set), so that
# bridge_bench.sh stays comparable with its earlier runs.
config() {
    local file=$1 interval=$2 count=$3 extra=${4:-}
    printf 'poll_interval_s = %s\n[history]\ninterval_s = %s\n' "$interval" "${HISTORY_INTERVAL:-0}" >"$file"
    [ -n "${HISTORY_DIR:-}" ] && printf 'dir = "%s"\n' "$HISTORY_DIR" >>"$file"
    for i in $(seq 0 $((count - 1))); do
        local list=""
        for a in $(seq 1 "$devices") $extra; do list+="{ address = $a }, "; done
        printf '[[bus]]\nport = "%s"\ndevices = [ %s]\n' "$(cat "$work/port.$i")" "$list" >>"$file"
    done
}
