# shellcheck shell=bash
# Sourced by the bench scripts that run one simulator ($sim, set by the
# script) at a time: a scratch folder in $work, start_sim to start it, its
# pid in $sim_pid, stop_sim to end it, and both cleaned up when the script
# exits.
work=$(mktemp -d)
sim_pid=""
stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
}
trap 'stop_sim; rm -rf "$work"' EXIT

# start_sim NAME ARGS...: starts "$sim" with ARGS, its port's path on the
# first line of $work/sim.out and its notes in $work/sim.err, and waits up to
# 5 s until it has said both; sets $sim_pid and $port, or exits saying NAME's
# simulator did not start.
start_sim() {
    local name=$1
    shift
    rm -f "$work/sim.out" "$work/sim.err"
    "$sim" "$@" >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    for _ in $(seq 50); do
        [ -s "$work/sim.out" ] && grep -q '^wire-time floor' "$work/sim.err" && break
        sleep 0.1
    done
    port=$(head -n 1 "$work/sim.out")
    [ -n "$port" ] || { echo "$name: the simulator did not start" >&2; cat "$work/sim.err" >&2; exit 1; }
}
