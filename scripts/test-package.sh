#!/bin/sh
# Builds the Debian package (scripts/package.sh), checks it with the tools distributions use
# (lintian, desktop-file-validate, appstreamcli), installs it with apt into this machine,
# runs the installed corvane-cli on a copy of the bundled sample, starts the installed
# program on a virtual display (Xvfb) until its main window shows, then removes the package
# and checks that nothing of it is left in /usr. Run as root (CI) or with sudo; every step
# has a time limit, and only the processes started here are stopped.
# Usage: scripts/test-package.sh [PACKAGE.deb]   (without one, package.sh builds it)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi
apt() {
    $as_root env DEBIAN_FRONTEND=noninteractive timeout 900 apt-get -q -y \
        -o DPkg::Lock::Timeout=300 "$@"
}
fail() {
    echo "test-package.sh: $*" >&2
    exit 1
}
step() { echo "== $*"; }

if [ $# -ge 1 ]; then
    deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    scripts/install-deps.sh package
else
    scripts/package.sh
    build=${CORVANE_PACKAGE_DIR:-build-package}
    case "$build" in /*) ;; *) build="$root/$build" ;; esac
    deb="$build/corvane_1.3.0_$(dpkg --print-architecture).deb"
fi
[ -f "$deb" ] || fail "no package at $deb"
case "$(basename "$deb")" in corvane_1.3.0_amd64.deb) ;; *) fail "unexpected package name $deb" ;; esac

work=$(mktemp -d)
chmod 755 "$work" # apt reads the package as its own unprivileged user
xvfb=""
program=""
installed=""
stop() {
    # Only what this script started, by its process id.
    for pid in $program $xvfb; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    program=""
    xvfb=""
}
cleanup() {
    stop
    # A failed check leaves no package behind either.
    if [ -n "$installed" ]; then
        apt purge corvane >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
cp "$deb" "$work/"
deb="$work/$(basename "$deb")"
chmod 644 "$deb"

step "What the package holds"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' >"$work/contents"
app_id=example.corvane.Corvane
for path in /usr/bin/corvane /usr/bin/corvane-cli \
    /usr/share/applications/$app_id.desktop /usr/share/metainfo/$app_id.metainfo.xml \
    /usr/share/man/man1/corvane.1.gz /usr/share/man/man1/corvane-cli.1.gz \
    /usr/share/doc/corvane/copyright /usr/share/doc/corvane/changelog.gz \
    /usr/share/corvane/Help/Default.htm /usr/share/corvane/Sample/Default.Pro \
    "/usr/share/corvane/Templates/Hiking Club.Tmp" /usr/share/corvane/Templates/Night.Tmp \
    "/usr/share/corvane/Templates/Small Business.Tmp"; do
    grep -qxF "$path" "$work/contents" || fail "the package lacks $path"
done
for size in 16 22 24 32 48 64 128 256; do
    grep -qxF "/usr/share/icons/hicolor/${size}x$size/apps/corvane.png" "$work/contents" ||
        fail "the package lacks the ${size}x$size icon"
done
dpkg-deb --field "$deb" Depends | grep -q libqt6webenginewidgets6 ||
    fail "the dependencies were not worked out from the shared libraries"

step "Validators"
mkdir "$work/tree"
dpkg-deb -x "$deb" "$work/tree"
desktop-file-validate "$work/tree/usr/share/applications/$app_id.desktop" >"$work/desktop.log" 2>&1 || true
cat "$work/desktop.log"
[ ! -s "$work/desktop.log" ] || fail "desktop-file-validate is not content"
appstreamcli validate --no-net --explain "$work/tree/usr/share/metainfo/$app_id.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "appstreamcli validate failed"; }
cat "$work/appstream.log"
grep -qE '^ *(E|W):' "$work/appstream.log" && fail "appstreamcli validate reports errors or warnings"
appstreamcli validate-tree --no-net "$work/tree" >"$work/appstream-tree.log" 2>&1 ||
    { cat "$work/appstream-tree.log"; fail "appstreamcli validate-tree failed"; }
grep -qE '^ *(E|W):' "$work/appstream-tree.log" && { cat "$work/appstream-tree.log"; fail "appstreamcli validate-tree reports errors or warnings"; }
# lintian refuses nothing for warnings; its errors fail the test.
timeout 600 lintian --fail-on error --display-info --no-tag-display-limit "$deb" \
    >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian reports errors"; }
echo "lintian:"
cat "$work/lintian.log"

step "Install with apt"
find /usr -xdev | sort >"$work/usr-before"
installed=yes
apt install "$deb"
dpkg -L corvane >"$work/installed"
[ "$(/usr/bin/corvane-cli --version)" = "Corvane 1.3.0" ] || fail "corvane-cli --version"
/usr/bin/corvane-cli --help | grep -q "Usage: corvane-cli" || fail "corvane-cli --help"

step "The installed corvane-cli builds the bundled sample"
cp -R /usr/share/corvane/Sample "$work/Sample"
timeout 120 /usr/bin/corvane-cli check "$work/Sample"
timeout 120 /usr/bin/corvane-cli build "$work/Sample"
[ -s "$work/Sample/HTML/Index.htm" ] || fail "the sample's homepage was not built"
ls /usr/share/corvane/Templates

step "The installed program shows its main window"
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
tries=0
until [ -e "/tmp/.X11-unix/X$display" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || fail "Xvfb did not start"
    sleep 0.1
done
mkdir "$work/home"
env -u XDG_DATA_HOME HOME="$work/home" DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
    /usr/bin/corvane >"$work/corvane.log" 2>&1 &
program=$!
# The main window: a window titled "Corvane" that is shown and is a normal window (the
# splash window has the same title, but is a splash screen first).
main_window() {
    for id in $(xwininfo -display ":$display" -root -tree 2>/dev/null |
        sed -n 's/^ *\(0x[0-9a-f]*\) "Corvane": (.*/\1/p'); do
        xwininfo -display ":$display" -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' ||
            continue
        xprop -display ":$display" -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null |
            grep -q '= _NET_WM_WINDOW_TYPE_NORMAL' || continue
        echo "$id"
        return 0
    done
    return 1
}
window=""
tries=0
while [ "$tries" -lt 120 ]; do
    window=$(main_window) && break
    kill -0 "$program" 2>/dev/null || break
    tries=$((tries + 1))
    sleep 0.5
done
if [ -z "$window" ]; then
    cat "$work/corvane.log"
    fail "no main window titled Corvane within a minute"
fi
xwininfo -display ":$display" -id "$window" | sed -n 's/^xwininfo: //p; /Width:/p; /Height:/p'
xprop -display ":$display" -id "$window" WM_CLASS _NET_WM_STATE
[ -d "$work/home/.local/share/Corvane/Projects" ] ||
    fail "the program made no Projects folder in the user's data folder"
stop

step "Remove the package"
apt purge corvane
installed=""
find /usr -xdev | sort >"$work/usr-after"
left=""
while IFS= read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    grep -qxF "$path" "$work/usr-before" && continue
    left="$left
$path"
done <"$work/installed"
# What apt pulled in for the package stays, but belongs to its own packages.
comm -13 "$work/usr-before" "$work/usr-after" >"$work/usr-new"
while IFS= read -r path; do
    dpkg -S "$path" >/dev/null 2>&1 || left="$left
$path"
done <"$work/usr-new"
[ -z "$left" ] || fail "left behind in /usr:$left"
echo "Package test passed."
