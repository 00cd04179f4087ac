#!/usr/bin/env bash
# package_check.sh BUILD-DIR DEB: checks what a user gets from the install
# rules and from the Debian package built from them:
#   - the desktop entry and the AppStream metadata of a DESTDIR install pass
#     desktop-file-validate and appstreamcli validate --no-net;
#   - the package holds exactly what the install rules install, including a
#     manual page for every program and the icons under the desktop id;
#   - lintian reports no errors;
#   - unpacked into a scratch root, every program answers --version, and the
#     window starts on a virtual display as an installed program (it cannot
#     write beside itself), keeps its settings and logs in the user's folders,
#     and closes cleanly.
set -euo pipefail
build=$1
deb=$2
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
fail() {
    echo "package check FAILED: $*" >&2
    exit 1
}

echo "-- installed files (DESTDIR)"
DESTDIR=$scratch/stage cmake --install "$build" --prefix /usr >/dev/null
desktop=$(ls "$scratch"/stage/usr/share/applications/*.desktop)
[ "$(echo "$desktop" | wc -l)" -eq 1 ] || fail "expected one desktop entry, found: $desktop"
id=$(basename "$desktop" .desktop)
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$scratch/stage/usr/share/metainfo/$id.metainfo.xml"

echo "-- package contents"
(cd "$scratch/stage" && find . ! -type d | sed 's|^\.||' | sort) >"$scratch/installed"
dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sed 's|^\.||' | sort >"$scratch/packaged"
diff -u "$scratch/installed" "$scratch/packaged" || fail "the package differs from the install rules"
expected=(
    "/usr/share/applications/$id.desktop"
    "/usr/share/metainfo/$id.metainfo.xml"
    "/usr/share/icons/hicolor/scalable/apps/$id.svg"
    "/usr/share/icons/hicolor/48x48/apps/$id.png"
    "/usr/share/icons/hicolor/128x128/apps/$id.png"
    "/usr/share/icons/hicolor/256x256/apps/$id.png"
    /usr/share/bash-completion/completions/kestrane-cli
    /usr/share/doc/kestrane/copyright
    /usr/share/doc/kestrane/changelog.gz
    /usr/bin/kestrane-monitor
    /usr/bin/kestrane-cli
)
programs=$(grep '^/usr/bin/' "$scratch/packaged" | xargs -n 1 basename)
for program in $programs; do
    expected+=("/usr/share/man/man1/$program.1.gz")
done
if grep -qx /usr/bin/kestrane-bridge "$scratch/packaged"; then
    expected+=(/usr/lib/systemd/system/kestrane-bridge.service)
fi
for file in "${expected[@]}"; do
    grep -qx "$file" "$scratch/packaged" || fail "the package lacks $file"
done
echo "${#expected[@]} expected files present, $(wc -l <"$scratch/packaged") in all"

echo "-- lintian"
lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"

echo "-- programs unpacked from the package"
root=$scratch/root
dpkg -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
for program in $programs; do
    answer=$(env -u DISPLAY "$root/usr/bin/$program" --version)
    [ "$answer" = "$program $version" ] || fail "$program --version gave '$answer'"
    echo "$answer"
done

echo "-- the window, installed, on a virtual display"
home=$scratch/home
mkdir -p "$home"
run_as_user=()
if [ "$(id -u)" -eq 0 ]; then
    # root may write anywhere: run as an ordinary user, for whom the
    # unpacked program folder is not writable, as for an installed program.
    chown 65534:65534 "$home"
    run_as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
    chmod -R a-w "$root/usr/bin"
fi
(cd "$home" && env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u DISPLAY HOME="$home" \
    "${run_as_user[@]}" xvfb-run -a "$here/window_starts.sh" "$root/usr/bin/kestrane-monitor")
chmod -R u+w "$root/usr/bin"
[ -f "$home/.config/kestrane/Configfiles.ini" ] ||
    fail "the installed window kept no settings in ~/.config/kestrane/"
[ -d "$home/.local/share/kestrane/logs" ] ||
    fail "the installed window made no log folder ~/.local/share/kestrane/logs/"
[ ! -e "$root/usr/bin/Configfiles.ini" ] || fail "the installed window wrote beside itself"
echo "settings in ~/.config/kestrane/, logs in ~/.local/share/kestrane/logs/"
echo "package check passed"
