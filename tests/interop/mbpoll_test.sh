#!/usr/bin/env bash
# mbpoll (libmodbus) against kestrane-sim over a pseudo-terminal: every read
# block, writes with functions 6 and 16 read back, and an exception for a
# register outside the map. Exits 77 (skipped) when mbpoll is missing.
set -u
sim="${1:?usage: mbpoll_test.sh path/to/kestrane-sim}"
command -v mbpoll >/dev/null || { echo "mbpoll not installed"; exit 77; }

dir=$(mktemp -d)
link="$dir/line"
"$sim" --link "$link" --day-seconds 0 >"$dir/out" 2>"$dir/err" &
pid=$!
cleanup() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || { echo "simulator did not start"; cat "$dir/err"; exit 1; }

failures=0
# mbpoll options, then the device, then any values to write.
poll() { timeout 10 mbpoll -m rtu -b 9600 -P none -a 1 -t 4 -0 -1 -o 1 "$@" 2>&1; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# The values mbpoll prints, one per line, for registers read from $1.
values() { poll -r "$1" -c "$2" "$link" | sed -n 's/^\[[0-9]*\]:[[:space:]]*//p'; }

for block in "0 15" "257 10" "2311 6" "1793 6" "515 19" "2049 18" "1025 15" "769 12"; do
    set -- $block
    got=$(values "$1" "$2" | wc -l)
    [ "$got" -eq "$2" ] || fail "block at $1: $got of $2 registers"
done

poll -r 1030 "$link" 17 >/dev/null || fail "function 6 write"
[ "$(values 1030 1)" = "17" ] || fail "function 6 read back: $(values 1030 1)"

poll -r 1027 "$link" 45 65 7 >/dev/null || fail "function 16 write"
[ "$(values 1027 3 | tr '\n' ' ')" = "45 65 7 " ] || fail "function 16 read back"

out=$(poll -r 1280 -c 1 "$link")
echo "$out" | grep -qi "illegal data address" || fail "no exception for register 1280: $out"

[ "$failures" -eq 0 ] && echo "mbpoll interop: all checks passed"
exit $((failures > 0))
