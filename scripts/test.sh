#!/bin/sh
# Installs what is missing, builds Corvane with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test, builds and tests a Release build as a packager would, builds the desktop
# program and runs its window tests without a display, then runs the fuzz targets for a
# bounded time.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${CORVANE_JOBS:-2}
fuzz_seconds=${CORVANE_FUZZ_SECONDS:-30}

scripts/install-deps.sh build test

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON -DCORVANE_BENCH=OFF \
    -DCORVANE_WERROR=ON
ninja -C build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 600)

# The way a packager builds: Release, with the tests, warnings as errors (g++ warns of other
# things when it optimises).
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_SANITIZE=OFF \
    -DCORVANE_WERROR=ON
ninja -C build-release -j"$jobs"
(cd build-release && ctest --output-on-failure -j"$jobs" --timeout 600)

# The windows get a plain build of their own (Qt WebEngine does not run under the
# sanitizers) and their tests run without a display.
scripts/install-deps.sh ui
cmake -S . -B build-ui -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_UI=ON -DCORVANE_SANITIZE=OFF -DCORVANE_WERROR=ON \
    -DCORVANE_BENCH=OFF
ninja -C build-ui -j"$jobs" corvane corvane_ui_tests
(
    export QT_QPA_PLATFORM=offscreen
    if [ "$(id -u)" -eq 0 ]; then
        export QTWEBENGINE_DISABLE_SANDBOX=1
    fi
    cd build-ui && ctest --output-on-failure -L ui --timeout 300
)

# The fuzz targets need clang's libFuzzer. Every target built (records, values, pictures,
# generator, ftpreply) runs, with its seeds from tests/fuzz/seeds/NAME.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF -DCORVANE_WERROR=ON
ninja -C build-fuzz -j"$jobs" corvane_fuzzers
for fuzzer in build-fuzz/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus="$root/build-fuzz/corpus-$name"
    mkdir -p "$corpus"
    seeds="$root/tests/fuzz/seeds/${name#fuzz_}"
    [ -d "$seeds" ] || seeds=""
    echo "Fuzzing $name for ${fuzz_seconds}s"
    "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=10 "$corpus" $seeds
done
echo "All tests passed."
