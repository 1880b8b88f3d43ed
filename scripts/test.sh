#!/bin/sh
# Installs what is missing, builds Corvane with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test, then runs the fuzz targets for a bounded time.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${CORVANE_JOBS:-2}
fuzz_seconds=${CORVANE_FUZZ_SECONDS:-30}

scripts/install-deps.sh build test

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON -DCORVANE_BENCH=OFF
ninja -C build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 600)

# The fuzz targets need clang's libFuzzer.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF
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
