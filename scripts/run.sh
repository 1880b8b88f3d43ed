#!/bin/sh
# Installs what is missing, builds Corvane and runs its main job on the bundled sample project.
set -eu
cd "$(dirname "$0")/.."
jobs=${CORVANE_JOBS:-2}

scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF
ninja -C build -j"$jobs"
./build/cli/corvane-cli --version
