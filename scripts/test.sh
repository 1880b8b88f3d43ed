#!/bin/sh
# Installs what is missing, builds Corvane with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every core test, builds and tests a Release build as a packager would, checks the built
# sites in headless Chromium, builds the desktop program and runs its window tests without a
# display, runs the fuzz targets for a bounded time, then builds the Debian package, checks it,
# installs it, runs it and removes it (scripts/test-package.sh; CORVANE_PACKAGE_TEST=0 leaves
# that out).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${CORVANE_JOBS:-2}
fuzz_seconds=${CORVANE_FUZZ_SECONDS:-20}

scripts/install-deps.sh build test

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON -DCORVANE_BENCH=OFF \
    -DCORVANE_WERROR=ON
ninja -C build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The tests against real servers (sshd, gnome-keyring in a private session bus) fail here
# instead of skipping when a server's package is missing.
export CORVANE_REQUIRE_SERVERS=1
(cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 600 -LE browser)

# The way a packager builds: Release, with the tests, warnings as errors (g++ warns of other
# things when it optimises).
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_SANITIZE=OFF \
    -DCORVANE_WERROR=ON
ninja -C build-release -j"$jobs"
(cd build-release && ctest --output-on-failure -j"$jobs" --timeout 600 -LE browser)

# The built sites in a real browser (headless Chromium through chromedriver), with the
# sanitizer build's corvane-cli. Here a missing browser fails the test instead of skipping it.
scripts/install-deps.sh browser
(cd build-asan && CORVANE_REQUIRE_BROWSER=1 ctest --output-on-failure -L browser --timeout 300)

# The windows get a plain build of their own (Qt WebEngine does not run under the
# sanitizers) and their tests run without a display; then one keyboard-only session runs
# under Xvfb with a window manager.
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
# A whole session with the keyboard alone, on a real X server (Xvfb, openbox, xdotool).
(cd build-ui && CORVANE_REQUIRE_SESSION=1 ctest --output-on-failure -L session --timeout 300)

# The fuzz targets need clang's libFuzzer. Every target built (records, values, pictures,
# charsets, archive, generator, ftpreply) runs, with its seeds from tests/fuzz/seeds/NAME.
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

# The Debian package as a user gets it: built by scripts/package.sh, checked with lintian,
# desktop-file-validate and appstreamcli, installed with apt into this machine, corvane-cli
# run on the bundled sample and the program started under Xvfb, then removed again.
if [ "${CORVANE_PACKAGE_TEST:-1}" != 0 ]; then
    scripts/test-package.sh
fi
echo "All tests passed."
