#!/bin/sh
# Installs what is missing, builds Corvane (the desktop program and corvane-cli) and runs it
# on the bundled sample project: the program when a display is there, otherwise corvane-cli
# builds the sample site and says where its homepage is.
set -eu
cd "$(dirname "$0")/.."
jobs=${CORVANE_JOBS:-2}

scripts/install-deps.sh build ui
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF \
    -DCORVANE_UI=ON
ninja -C build -j"$jobs"
./build/cli/corvane-cli --version

# The program keeps its projects in Projects beside itself; the sample goes there once.
projects=build/app/Projects
mkdir -p "$projects"
if [ -d examples/Sample ] && [ ! -e "$projects/Sample" ]; then
    cp -R examples/Sample "$projects/Sample"
    echo "Copied the sample project into $projects/Sample"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting Corvane (File > Open Project... offers the sample)"
    exec ./build/app/corvane
fi

echo "No display: building the sample site with corvane-cli instead of starting the program."
if [ -d "$projects/Sample" ]; then
    ./build/cli/corvane-cli build "$projects/Sample"
    echo "Open the homepage named above in a web browser to see the sample site."
else
    echo "There is no sample project yet (examples/Sample is missing)."
fi
