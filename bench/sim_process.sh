# Sourced by the bench scripts that run one simulator at a time: a scratch
# folder in $work, the simulator's pid in $sim_pid, stop_sim to end it, and
# both cleaned up when the script exits.
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
