#!/usr/bin/env bash
# service_security_check.sh UNIT-FILE: prints systemd's exposure figure for
# the bridge's service unit (systemd-analyze security, offline: the unit as
# written, not as loaded) and fails above 2.0, systemd's "OK" band. Skips
# (77) where systemd-analyze has no offline mode.
set -euo pipefail
unit=$1
limit=2.0
if ! command -v systemd-analyze >/dev/null ||
    ! systemd-analyze security --help 2>/dev/null | grep -q -- '--offline'; then
    echo "service security: skipped (no systemd-analyze security --offline)"
    exit 77
fi
report=$(systemd-analyze security --offline=true --no-pager "$unit" 2>&1) || true
exposure=$(echo "$report" | sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p' | tail -n 1)
if [ -z "$exposure" ]; then
    echo "$report" >&2
    echo "service security check FAILED: no exposure figure for $unit" >&2
    exit 1
fi
echo "service exposure of $(basename "$unit"): $exposure (limit $limit)"
if awk -v e="$exposure" -v l="$limit" 'BEGIN { exit !(e > l) }'; then
    echo "$report" | grep '✗' >&2
    echo "service security check FAILED: exposure $exposure is above $limit" >&2
    exit 1
fi
