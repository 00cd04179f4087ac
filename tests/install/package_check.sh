#!/usr/bin/env bash
# package_check.sh BUILD-DIR DEB...: checks what a user gets from the install
# rules and from the Debian packages built from them (scripts/package):
#   - the desktop entry and the AppStream metadata of a DESTDIR install pass
#     desktop-file-validate and appstreamcli validate --no-net;
#   - every package holds exactly what the install rules put in its component,
#     the components together hold the whole install, and each package has
#     the files it is for (programs, manual pages, its own documentation);
#   - no package ships anything under /etc; the headless packages depend on
#     no Qt library; each replaces the single package kestrane of old;
#   - the bridge's service unit scores "OK" (exposure <= 2.0) in
#     systemd-analyze security;
#   - lintian reports neither errors nor warnings;
#   - the packages upgrade an installed kestrane 1.3 (upgrade_check.sh);
#   - unpacked into a scratch root, every program answers --version, and the
#     window starts on a virtual display as an installed program (it cannot
#     write beside itself), keeps its settings and logs in the user's folders,
#     and closes cleanly.
set -euo pipefail
build=$1
shift
debs=("$@")
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
fail() {
    echo "package check FAILED: $*" >&2
    exit 1
}
[ ${#debs[@]} -gt 0 ] || fail "no package given"
files_of() { (cd "$1" && find . ! -type d | sed 's|^\.||' | sort); }
field() { dpkg-deb -f "$1" "$2"; }

echo "-- installed files (DESTDIR)"
DESTDIR=$scratch/stage cmake --install "$build" --prefix /usr >/dev/null
files_of "$scratch/stage" >"$scratch/installed"
has_window=no
if [ -e "$scratch/stage/usr/bin/kestrane-monitor" ]; then
    has_window=yes
    desktop=$(ls "$scratch"/stage/usr/share/applications/*.desktop)
    [ "$(echo "$desktop" | wc -l)" -eq 1 ] || fail "expected one desktop entry, found: $desktop"
    id=$(basename "$desktop" .desktop)
    desktop-file-validate "$desktop"
    appstreamcli validate --no-net "$scratch/stage/usr/share/metainfo/$id.metainfo.xml"
fi

echo "-- package contents"
expected_packages=(kestrane-cli kestrane-bridge)
[ "$has_window" = no ] || expected_packages=(kestrane-monitor "${expected_packages[@]}")
names=$(for deb in "${debs[@]}"; do field "$deb" Package; done | sort)
[ "$names" = "$(printf '%s\n' "${expected_packages[@]}" | sort)" ] ||
    fail "expected the packages ${expected_packages[*]}, got: $(echo $names)"
: >"$scratch/all-packaged"
for deb in "${debs[@]}"; do
    package=$(field "$deb" Package)
    component=${package#kestrane-}
    DESTDIR=$scratch/$component cmake --install "$build" --prefix /usr --component "$component" \
        >/dev/null
    files_of "$scratch/$component" >"$scratch/$component.installed"
    dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sed 's|^\.||' | sort \
        >"$scratch/$component.packaged"
    diff -u "$scratch/$component.installed" "$scratch/$component.packaged" ||
        fail "$package differs from the install rules of component $component"
    cat "$scratch/$component.packaged" >>"$scratch/all-packaged"

    expected=()
    for doc in copyright changelog.gz README.md; do
        expected+=("/usr/share/doc/$package/$doc")
    done
    case $component in
    monitor)
        expected+=(
            "/usr/share/applications/$id.desktop"
            "/usr/share/metainfo/$id.metainfo.xml"
            "/usr/share/icons/hicolor/scalable/apps/$id.svg"
            "/usr/share/icons/hicolor/48x48/apps/$id.png"
            "/usr/share/icons/hicolor/128x128/apps/$id.png"
            "/usr/share/icons/hicolor/256x256/apps/$id.png"
            /usr/bin/kestrane-monitor)
        ;;
    cli)
        expected+=(/usr/bin/kestrane-cli /usr/bin/kestrane-sim
            /usr/share/bash-completion/completions/kestrane-cli)
        ;;
    bridge)
        expected+=(/usr/bin/kestrane-bridge /usr/lib/systemd/system/kestrane-bridge.service
            /usr/share/doc/kestrane-bridge/examples/bridge.example.toml)
        ;;
    esac
    programs=$(grep '^/usr/bin/' "$scratch/$component.packaged" | xargs -n 1 basename)
    for program in $programs; do
        expected+=("/usr/share/man/man1/$program.1.gz")
    done
    for file in "${expected[@]}"; do
        grep -qx "$file" "$scratch/$component.packaged" || fail "$package lacks $file"
    done
    ! grep '^/etc/' "$scratch/$component.packaged" || fail "$package ships files under /etc"
    ! dpkg-deb -I "$deb" conffiles >/dev/null 2>&1 || fail "$package has conffiles"

    depends=$(field "$deb" Depends)
    case $component in
    monitor)
        [[ $depends == *libqt6widgets6* ]] || fail "$package does not depend on Qt: $depends"
        [[ $(field "$deb" Recommends) == *fonts-noto-cjk* ]] ||
            fail "$package does not recommend the CJK fonts"
        ;;
    *)
        [[ $depends != *libqt6* ]] || fail "$package depends on Qt: $depends"
        ;;
    esac
    if [ "$component" = bridge ]; then
        [[ $depends == *libjs-chart.js* ]] || fail "$package does not depend on libjs-chart.js"
        description=$(field "$deb" Description)
        [[ $description == *kestrane-bridge* && $description == *"web page"* ]] ||
            fail "the description of $package names neither the bridge nor the web page"
    fi
    for relation in Replaces Breaks; do
        [ "$(field "$deb" $relation)" = "kestrane (<< 1.4)" ] ||
            fail "$package does not take over from kestrane: $relation $(field "$deb" $relation)"
    done
    [ "$(field "$deb" Source)" = kestrane ] || fail "$package is not built from the source kestrane"
    echo "$package: ${#expected[@]} expected files present, $(wc -l <"$scratch/$component.packaged") in all; Depends: $depends"
done
sort "$scratch/all-packaged" | diff -u "$scratch/installed" - ||
    fail "the packages together differ from the install rules"

unit=$scratch/stage/usr/lib/systemd/system/kestrane-bridge.service
if [ -f "$unit" ]; then
    echo "-- the bridge's service unit: systemd's exposure figure"
    "$here/service_security_check.sh" "$unit" || [ $? -eq 77 ] || fail "the service unit is too exposed"
fi

echo "-- lintian"
lintian --display-info --fail-on error,warning "${debs[@]}" 2>&1 |
    grep -v '^running with root privileges' || true
lintian --fail-on error,warning "${debs[@]}" >/dev/null 2>&1 || fail "lintian reports errors or warnings"

echo "-- upgrade from the single package kestrane"
"$here/upgrade_check.sh" "${debs[@]}"

echo "-- programs unpacked from the packages"
root=$scratch/root
for deb in "${debs[@]}"; do
    dpkg -x "$deb" "$root"
done
version=$(field "${debs[0]}" Version)
for program in $(ls "$root/usr/bin"); do
    answer=$(env -u DISPLAY "$root/usr/bin/$program" --version)
    [ "$answer" = "$program $version" ] || fail "$program --version gave '$answer'"
    echo "$answer"
done

if [ "$has_window" = no ]; then
    echo "package check passed (no window in this build)"
    exit 0
fi

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
