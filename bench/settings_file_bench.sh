#!/usr/bin/env bash
# The settings file at absurd sizes: times one window start and close (two
# reads and one write of Configfiles.ini, settings_file_bench.cpp) and its peak
# memory, beside the floor of reading the file once (cat) in the same run.
# Two shapes: many short lines with the settings at the end, and one line of
# the whole size.
#
# usage: bench/settings_file_bench.sh [megabytes]
set -euo pipefail
cd "$(dirname "$0")/.."
megabytes=${1:-100}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

c++ -std=c++20 -O2 -Isrc bench/settings_file_bench.cpp src/ui/tables/StoredSettings.cpp \
    src/platform/ProfileFile.cpp src/platform/ProfileLines.cpp src/platform/ProfileSnapshot.cpp \
    src/platform/FileReplace.cpp -o "$work/bench"

settings='[SysLanguage]\nLanguage=ENGLISH\n[COMSET]\nADDR=12\n[Colour]\nBackColour=3\n'
make_file() {  # shape path
    local bytes=$((megabytes * 1024 * 1024))
    if [ "$1" = lines ]; then
        { printf '[Junk]\n'; head -c "$bytes" < <(yes 'key=some value that is not short at all')
          printf '\n'"$settings"; } >"$2"
    else
        { printf '[Junk]\n'; head -c "$bytes" /dev/zero | tr '\0' 'x'; printf '\n'"$settings"; } >"$2"
    fi
}

for shape in lines one-line; do
    file="$work/Configfiles.ini"
    make_file "$shape" "$file"
    cat "$file" >/dev/null  # both runs start from the page cache
    floor=$( { /usr/bin/time -f '%e' cat "$file" >/dev/null; } 2>&1 )
    result=$( { /usr/bin/time -f '%e %M' "$work/bench" "$file" >/dev/null; } 2>&1 )
    read -r seconds kilobytes <<<"$result"
    ratio=$(awk -v s="$seconds" -v f="$floor" 'BEGIN { printf "%.1f", (f > 0 ? s / f : 0) }')
    printf '%-8s %4d MB: start+close %5.2f s, peak %6d KB; one cat %5.2f s; ratio %s\n' \
        "$shape" "$megabytes" "$seconds" "$kilobytes" "$floor" "$ratio"
done
