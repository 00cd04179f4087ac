#!/usr/bin/env bash
# completion_test.sh COMPLETION: what the generated bash completion of
# kestrane-cli offers at a few typical points of a command line.
set -uo pipefail
# shellcheck disable=SC1090
source "$1"
failures=0

# expect "WORDS..." WANTED...: completes the last word of WORDS (an empty
# last word when WORDS ends in a space) and checks that every WANTED word is
# offered; "!WORD" checks that WORD is not.
expect() {
    local line=$1
    shift
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _kestrane_cli
    local offered=" ${COMPREPLY[*]} " want
    for want in "$@"; do
        if [[ $want == !* ]]; then
            [[ $offered == *" ${want#!} "* ]] || continue
        else
            [[ $offered == *" $want "* ]] && continue
        fi
        echo "FAIL: '$line' offers [${COMPREPLY[*]}], expected $want"
        failures=$((failures + 1))
    done
}

expect "kestrane-cli " read watch '!--help'
expect "kestrane-cli re" read '!watch'
expect "kestrane-cli --" --help --version
expect "kestrane-cli read --p" --port
expect "kestrane-cli read --port /dev/ttyUSB0 --co" --count
expect "kestrane-cli read --port /dev/ttyUSB0 --count 3 " '!read' '!watch'
expect "kestrane-cli watch --lang " en zh
expect "kestrane-cli watch --lang z" zh '!en'
expect "kestrane-cli watch --st" --stats
expect "kestrane-cli watch --port /dev/tt" /dev/tty
expect "kestrane-cli watch --port " /dev/tty

[ "$failures" -eq 0 ] && echo "completion ok"
exit $((failures > 0))
