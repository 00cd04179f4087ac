#!/usr/bin/env bash
# Logins give their memory back: every password check takes 19 MiB (Argon2id),
# and the real kestrane-bridge must return it to the system afterwards rather
# than keep it resident. Runs the bridge with a viewer password against
# kestrane-sim on a pseudo-terminal, reads its resident memory, logs in six
# times (three of them at once, as browsers opening together do) and reads it
# again: it may grow by less than one password check.
#
# usage: login_memory_test.sh path/to/kestrane-sim path/to/kestrane-bridge
set -u
sim="${1:?usage: login_memory_test.sh kestrane-sim kestrane-bridge}"
bridge="${2:?usage: login_memory_test.sh kestrane-sim kestrane-bridge}"
command -v curl >/dev/null || { echo "FAIL: needs curl"; exit 1; }

. "$(dirname "$0")/../support/scratch_processes.sh"

start_sim "$sim" 1
password="login-memory-$RANDOM"
hash=$(printf '%s\n' "$password" | "$bridge" --hash-password) || fail "no hash"
cat >"$dir/bridge.toml" <<CONF
poll_interval_s = 1
[history]
dir = "$dir/history"
interval_s = 0
[web]
listen = "127.0.0.1:0"
read_access = "password"
viewer_password_hash = "$hash"
[[bus]]
port = "$dir/bus"
devices = [ { address = 1 } ]
CONF
"$bridge" --config "$dir/bridge.toml" >"$dir/bridge.log" 2>&1 &
bridge_pid=$!
pids+=("$bridge_pid")
bridge_port() { sed -n 's|.*web page on http://127\.0\.0\.1:\([0-9]*\).*|\1|p' "$dir/bridge.log" | head -n 1; }
has_port() { [ -n "$(bridge_port)" ]; }
wait_for 20 has_port || fail "bridge did not open its web port"
base="http://127.0.0.1:$(bridge_port)"
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$bridge_pid/status"; }
login() {
    curl -fs -o /dev/null -H 'Content-Type: application/json' \
        --data "{\"password\": \"$password\"}" "$base/api/v1/login"
}

login || fail "the first login failed"
before=$(rss_kb)
for _ in 1 2 3; do login || fail "a login failed"; done
login & a=$!
login & b=$!
login & c=$!
wait "$a" && wait "$b" && wait "$c" || fail "a login at once with others failed"
after=$(rss_kb)
grown=$((after - before))
echo "resident before ${before} kB, after six logins ${after} kB (+${grown} kB)"
[ "$grown" -lt 19456 ] || fail "the bridge kept ${grown} kB of its password checks"
echo "PASS"
