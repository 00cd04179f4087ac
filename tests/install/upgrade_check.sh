#!/usr/bin/env bash
# upgrade_check.sh DEB...: installs a stand-in for the single package
# kestrane 1.3 into a scratch root with dpkg, then the split packages over it
# the way apt can: unpacked with --auto-deconfigure (each takes over its files
# from kestrane), the broken kestrane removed, the new ones configured. Twice:
#   - a headless machine takes kestrane-cli and kestrane-bridge only: their
#     files stay when kestrane goes, the window's go with it;
#   - a desktop machine takes all the packages given.
# Each time the owner's /etc/kestrane/bridge.toml stays as it was, the new
# packages end up installed with every file of theirs in place, and the
# bridge that kestrane's removal stopped is started again (systemctl and the
# deb-systemd tools are stand-ins that write down how they were called).
# The stand-in holds the files of the given packages laid out as 1.3 had them
# (one documentation folder, /usr/share/doc/kestrane) and the removal scripts
# 1.3 had, which have not changed since. dpkg runs maintainer scripts in a
# chroot, which needs root; as another user the check is skipped. KEEP=1
# leaves the scratch roots and dpkg's output for a look.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
debs=("$@")
fail() {
    echo "upgrade check FAILED: $*" >&2
    exit 1
}
if [ "$(id -u)" -ne 0 ]; then
    echo "upgrade check skipped: dpkg --root runs maintainer scripts in a chroot, which needs root"
    exit 0
fi
scratch=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$scratch"' EXIT

# ---- kestrane 1.3, as it was packaged ----------------------------------------
old=$scratch/old
for deb in "${debs[@]}"; do
    dpkg-deb -x "$deb" "$old"
done
mkdir -p "$old/usr/share/doc/kestrane"
for doc in "$old"/usr/share/doc/kestrane-*; do
    cp -r "$doc"/. "$old/usr/share/doc/kestrane/"
    rm -rf "$doc"
done
mkdir -p "$old/DEBIAN"
cp "$here"/../../packaging/debian/{prerm,postrm} "$old/DEBIAN/"
cat >"$old/DEBIAN/control" <<EOF
Package: kestrane
Version: 1.3
Architecture: $(dpkg-deb -f "${debs[0]}" Architecture)
Maintainer: $(dpkg-deb -f "${debs[0]}" Maintainer)
Section: electronics
Priority: optional
Description: monitor and configure MPPT solar charge controllers
 The single package of version 1.3, for the upgrade check.
EOF
dpkg-deb --root-owner-group --build "$old" "$scratch/kestrane_1.3.deb" >/dev/null

# ---- A root with just enough for dpkg and the maintainer scripts -------------
new_root() {
    local root=$1
    mkdir -p "$root"/var/lib/dpkg/{info,updates,triggers} "$root/bin" "$root/etc/kestrane"
    touch "$root"/var/lib/dpkg/{status,available}
    cp /bin/dash "$root/bin/sh"
    for lib in $(ldd /bin/dash | grep -o '/[^ ]*'); do
        mkdir -p "$root$(dirname "$lib")"
        cp "$lib" "$root$lib"
    done
    # The owner's configuration, as "kestrane-bridge setup" or an editor left it.
    echo '# the owner'"'"'s configuration' >"$root/etc/kestrane/bridge.toml"
    # The scripts send output to /dev/null (a plain file where this user may
    # make no device), on a system run by systemd whose tools only write down
    # their calls.
    mkdir -p "$root/dev" "$root/run/systemd/system" "$root/usr/bin"
    mknod -m 666 "$root/dev/null" c 1 3 2>/dev/null || touch "$root/dev/null"
    for tool in systemctl deb-systemd-invoke deb-systemd-helper; do
        printf '#!/bin/sh\necho "%s $*" >>/systemd-calls\n' "$tool" >"$root/usr/bin/$tool"
        chmod 755 "$root/usr/bin/$tool"
    done
}
status_of() { dpkg-query --root="$1" -W -f '${db:Status-Status}' "$2" 2>/dev/null || echo not-installed; }

upgrade() {
    local root=$1
    shift
    # No dependency is installed in the scratch root; packages of another
    # architecture (a cross-built tree) are checked the same way.
    local dpkg=(dpkg --root="$root" --log=/dev/null --force-depends --force-bad-path
        --force-architecture)
    new_root "$root"
    "${dpkg[@]}" -i "$scratch/kestrane_1.3.deb" >/dev/null
    [ "$(status_of "$root" kestrane)" = installed ] || fail "kestrane 1.3 did not install"
    {
        "${dpkg[@]}" --auto-deconfigure --unpack "$@" &&
            "${dpkg[@]}" --remove kestrane &&
            "${dpkg[@]}" --configure --pending
    } >"$root.log" 2>&1 || {
        cat "$root.log"
        fail "the packages did not replace kestrane 1.3"
    }
    # Removed, as apt leaves it: at most its maintainer scripts remain, until a purge.
    case $(status_of "$root" kestrane) in
    not-installed | config-files) ;;
    *) fail "kestrane 1.3 is still installed: $(status_of "$root" kestrane)" ;;
    esac
    for deb in "$@"; do
        local package
        package=$(dpkg-deb -f "$deb" Package)
        [ "$(status_of "$root" "$package")" = installed ] || fail "$package is not installed"
        for file in $(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|'); do
            [ -e "$root$file" ] || fail "$file of $package is gone after the upgrade"
        done
    done
    [ "$(cat "$root/etc/kestrane/bridge.toml")" = "# the owner's configuration" ] ||
        fail "the upgrade changed /etc/kestrane/bridge.toml"
    [ ! -e "$root/usr/share/doc/kestrane" ] || fail "kestrane's documentation folder stayed"
    # kestrane's prerm stopped the bridge; the new postinst starts it again
    # (deb-systemd-invoke does so only when the owner had enabled it).
    grep -qx 'deb-systemd-invoke stop kestrane-bridge.service' "$root/systemd-calls" ||
        fail "kestrane 1.3 was not removed through its prerm"
    [ "$(grep '^deb-systemd-invoke' "$root/systemd-calls" | tail -n 1)" = \
        'deb-systemd-invoke start kestrane-bridge.service' ] ||
        fail "the bridge stopped by the upgrade is not started again: $(cat "$root/systemd-calls")"
}

headless=()
for deb in "${debs[@]}"; do
    case $(dpkg-deb -f "$deb" Package) in
    kestrane-cli | kestrane-bridge) headless+=("$deb") ;;
    esac
done
upgrade "$scratch/headless" "${headless[@]}"
[ ! -e "$scratch/headless/usr/bin/kestrane-monitor" ] ||
    fail "the window stayed on the headless machine"
echo "headless machine: kestrane 1.3 -> ${#headless[@]} packages, kestrane removed, bridge.toml kept, bridge started again"
upgrade "$scratch/desktop" "${debs[@]}"
echo "desktop machine: kestrane 1.3 -> ${#debs[@]} packages, kestrane removed, bridge.toml kept, bridge started again"
