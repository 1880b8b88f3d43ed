#!/bin/sh
# Pictures for the documentation, so that the look can be judged without building:
#   window  the program opens a copy of the sample project on a virtual display (Xvfb) and
#           saves docs/main-window.png (the tree beside the preview, the README's picture) and
#           docs/main-window-preview.png (the preview view);
#   sites   the sample and a site of each bundled template (the sample's content in the
#           template's look) are built, and their homepages are shot in headless Chromium at
#           390 and 1280 CSS pixels wide: docs/site-<name>-<width>.png
#           (scripts/site-screenshots.py).
# Each picture is then made smaller with pngquant and optipng, so that the repository stays
# light.
# Usage: scripts/screenshot.sh [window] [sites]   (both when none is named). Ends by itself
# within a few minutes.
set -eu
cd "$(dirname "$0")/.."
jobs=${CORVANE_JOBS:-2}
build=${CORVANE_BUILD_DIR:-build}
parts=${*:-window sites}

# A picture as small as it gets without visible loss: 256 colours at most, then the smallest
# lossless encoding.
shrink() {
    for picture in "$@"; do
        pngquant --quality 70-95 --speed 1 --strip --force --output "$picture" "$picture"
        optipng -quiet -o2 "$picture"
    done
}

if [ ! -d examples/Sample ]; then
    echo "screenshot.sh: the sample project examples/Sample is missing" >&2
    exit 1
fi

case " $parts " in
*" sites "*)
    # The site pictures need corvane-cli and the two tools of the browser tests, in a
    # Release build of their own (no Qt needed).
    scripts/install-deps.sh build test browser pictures
    sites_build=${CORVANE_SITES_BUILD_DIR:-build-screenshots}
    if [ ! -f "$sites_build/CMakeCache.txt" ]; then
        cmake -S . -B "$sites_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_BENCH=OFF \
            >/dev/null
    fi
    ninja -C "$sites_build" -j"$jobs" corvane-cli corvane-browser-templates \
        corvane-browser-template-site
    # Debian's python3, for which python3-selenium is installed.
    python=/usr/bin/python3
    [ -x "$python" ] || python=python3
    timeout 300 "$python" scripts/site-screenshots.py "$sites_build/cli/corvane-cli" \
        "$sites_build/tests/browser/corvane-browser-templates" \
        "$sites_build/tests/browser/corvane-browser-template-site" docs
    shrink docs/site-*.png
    ;;
esac
case " $parts " in
*" window "*) ;;
*) exit 0 ;;
esac
scripts/install-deps.sh build ui pictures
# The build folder of scripts/run.sh by default; an existing one keeps its own settings.
if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCORVANE_UI=ON >/dev/null
else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF \
        -DCORVANE_BENCH=OFF -DCORVANE_UI=ON
fi
ninja -C "$build" -j"$jobs" corvane-screenshot

work=$(mktemp -d)
xvfb=""
cleanup() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The program's folder for this run, holding a fresh copy of the sample.
mkdir -p "$work/Projects"
cp -R examples/Sample "$work/Projects/Sample"

# A free display number; the display listens on its local socket only.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
tries=0
until [ -e "/tmp/.X11-unix/X$display" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then
        echo "screenshot.sh: Xvfb did not start" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done

mkdir -p docs
# Settings and cache of the run's own: opening the sample puts it on the recent projects,
# which must not reach the user's list.
DISPLAY=":$display" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
    timeout 120 "$build/app/corvane-screenshot" "$work" Sample \
    docs/main-window.png docs/main-window-preview.png 2>"$work/program.log" || {
    cat "$work/program.log" >&2
    exit 1
}
shrink docs/main-window.png docs/main-window-preview.png
echo "Saved docs/main-window.png and docs/main-window-preview.png"
