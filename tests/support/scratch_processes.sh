# Sourced by the shell tests that start programs in the background: a scratch
# folder ($dir) for their files and logs, the list of their process ids
# ($pids, appended by the caller), and what every such test needs around them.
# On exit every program is asked to end, killed if still running 10 s later,
# and the folder is removed.

dir=$(mktemp -d)
pids=()

# running PID: whether that process is still there.
running() { kill -0 "$1" 2>/dev/null; }

# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# fail MESSAGE...: says what failed, shows the end of every log in $dir, exits 1.
fail() {
    echo "FAIL: $*"
    local log
    for log in "$dir"/*.log; do
        [ -e "$log" ] || continue
        echo "--- $log"
        tail -n 20 "$log"
    done
    exit 1
}

# start_sim SIM ADDRESSES: starts the simulator SIM with controllers at those
# addresses (1,2) on the pseudo-terminal linked at $dir/bus, its log in
# $dir/sim.log, and waits for the link.
start_sim() {
    "$1" --devices "$2" --link "$dir/bus" >"$dir/sim.log" 2>&1 &
    pids+=($!)
    wait_for 10 test -e "$dir/bus" || fail "simulator did not start"
}

cleanup_scratch_processes() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do
        wait_for 10 eval "! running $pid" || kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$dir"
}
trap cleanup_scratch_processes EXIT
