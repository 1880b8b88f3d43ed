#!/bin/sh
# Pictures of the main window for the documentation: the program opens a copy of the sample
# project on a virtual display (Xvfb) and saves docs/main-window.png (the tree view) and
# docs/main-window-preview.png (the preview view). Ends by itself within two minutes.
set -eu
cd "$(dirname "$0")/.."
jobs=${CORVANE_JOBS:-2}
build=${CORVANE_BUILD_DIR:-build}

if [ ! -d examples/Sample ]; then
    echo "screenshot.sh: the sample project examples/Sample is missing" >&2
    exit 1
fi
scripts/install-deps.sh build ui
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
DISPLAY=":$display" timeout 120 "$build/app/corvane-screenshot" "$work" Sample \
    docs/main-window.png docs/main-window-preview.png 2>"$work/program.log" || {
    cat "$work/program.log" >&2
    exit 1
}
echo "Saved docs/main-window.png and docs/main-window-preview.png"
