#!/usr/bin/env bash
# program_info_test.sh PROGRAM EXPECTED-VERSION-LINE: the program answers
# --version with exactly that line and --help with a usage text, both with
# status 0 and without a display (the manual pages are made from them at
# build time, on machines that have none). A cross-built program runs through
# the emulator named in KESTRANE_TARGET_EMULATOR (its words, space-separated).
set -uo pipefail
program=$1
expected=$2
read -r -a emulator <<<"${KESTRANE_TARGET_EMULATOR:-}"
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${emulator[@]}" "$program" "$@" 2>&1
}

version=$(run --version)
status=$?
if [ $status -ne 0 ] || [ "$version" != "$expected" ]; then
    echo "FAIL: $program --version gave status $status and '$version', expected '$expected'"
    exit 1
fi
help=$(run --help)
status=$?
if [ $status -ne 0 ] || ! grep -qi '^usage:' <<<"$help"; then
    echo "FAIL: $program --help gave status $status and: $help"
    exit 1
fi
echo "$version"
