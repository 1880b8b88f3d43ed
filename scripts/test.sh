#!/bin/sh
# Installs what is missing, builds and runs every test in stages, fast ones first, so that a
# style or unit failure shows within minutes:
#   quick    clang-format; the core, corvane-cli and their tests built once with
#            AddressSanitizer and UndefinedBehaviorSanitizer; the tests that need no server
#   servers  the same build's tests against real servers (pyftpdlib, vsftpd, sshd, a private
#            keyring, all on 127.0.0.1)
#   tidy     clang-tidy over the core, the tests and the windows
#   tsan     the threaded code under ThreadSanitizer: the core's tests and the window tests
#   release  a Release build with the package's flags, the windows and the tests, warnings
#            as errors; its tests that need no server (the servers stage runs those)
#   browser  the built sites in headless Chromium
#   ui       the release build's window tests without a display, then a keyboard-only
#            session under Xvfb
#   fuzz     every libFuzzer target for a bounded time
#   package  the Debian package: built, checked, installed, run, removed
#            (CORVANE_PACKAGE_TEST=0 leaves it out)
# Usage: scripts/test.sh [STAGE...]   (all stages, in this order, by default)
# Every compile goes through ccache when it is there (scripts/ccache-env.sh); every build but
# the fuzz targets' is a unity build (CMakeLists.txt), and so is clang-tidy's reading. The
# last line names the stage that failed.
# After quick, the stages that only run tests of its build (servers, browser) go in a second
# lane beside the compiling ones, since their tests mostly wait on servers and browsers; the
# package stage, which installs with apt, waits for both. CORVANE_LANES=1 runs one stage
# after the other.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${CORVANE_JOBS:-2}
fuzz_seconds=${CORVANE_FUZZ_SECONDS:-20}
all="quick servers tidy tsan release browser ui fuzz package"
stages=${*:-$all}
for stage in $stages; do
    case " $all " in
    *" $stage "*) ;;
    *) echo "test.sh: unknown stage '$stage' (stages: $all)" >&2; exit 2 ;;
    esac
done

scripts/install-deps.sh build test
. scripts/ccache-env.sh

stage=""
started=$(date +%s)
finished_with() {
    if [ "$1" -ne 0 ] && [ -n "$stage" ]; then
        echo "test.sh: stage '$stage' failed (exit status $1)"
    fi
}
trap 'finished_with $?' EXIT

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# The tests against real servers (sshd, gnome-keyring in a private session bus) fail here
# instead of skipping when a server's package is missing.
export CORVANE_REQUIRE_SERVERS=1

# The core, corvane-cli and their tests with the sanitizers; the quick and servers stages
# share it.
asan_build() {
    # shellcheck disable=SC2086
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON \
        -DCORVANE_BENCH=OFF -DCORVANE_WERROR=ON $corvane_launcher >/dev/null
    ninja -C build-asan -j"$jobs"
}

quick() {
    scripts/check-style.sh format
    asan_build
    (cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 600 -LE 'browser|servers')
}

servers() {
    asan_build
    (cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 600 -L servers)
}

tidy() {
    scripts/check-style.sh tidy
}

# Everything that starts threads: the warm-up, the column reading on opening and the undo
# history (model_tests), the sync run's connections, Cancel from another thread and the
# host name lookup (publish_tests, sftp_tests), the Git publish's SSH watchdog
# (git_publish_silent_tests), the generator's pages from several threads
# (generator_preview_tests), and in the windows the preview's background build, the pages
# written on demand, Build and Publish on threads of their own. Qt itself is not built with
# the sanitizer; tests/tsan.supp names what is reported inside it.
tsan() {
    scripts/install-deps.sh ui
    # shellcheck disable=SC2086
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_TSAN=ON -DCORVANE_UI=ON \
        -DCORVANE_BENCH=OFF -DCORVANE_WERROR=ON $corvane_launcher >/dev/null
    # Just the programs that run here: three of the thirteen window test programs.
    ninja -C build-tsan -j"$jobs" model_tests publish_tests sftp_tests git_publish_tests \
        generator_preview_tests ui_main_window_tests ui_preview_tests ui_publish_dialog_tests
    (
        export TSAN_OPTIONS="$TSAN_OPTIONS:suppressions=$root/tests/tsan.supp"
        export QT_QPA_PLATFORM=offscreen
        if [ "$(id -u)" -eq 0 ]; then
            export QTWEBENGINE_DISABLE_SANDBOX=1
        fi
        cd build-tsan && ctest --output-on-failure -j"$jobs" --timeout 900 \
            -R '^(model_tests|publish_tests_[0-9]+|sftp_tests|git_publish_silent_tests|generator_preview_tests|ui_main_window_tests|ui_preview_tests_[0-9]+|ui_publish_dialog_tests)$'
    )
}

# The Release build, as the package is built (scripts/package-flags.sh), with the windows,
# the tests and the benchmarks and warnings as errors (g++ warns of other things when it
# optimises). The release and ui stages share it, and the package stage finds in ccache all
# that it compiles: release_build [TARGET...]
release_build() {
    scripts/install-deps.sh ui package
    . scripts/package-flags.sh
    # shellcheck disable=SC2086
    cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DCORVANE_UI=ON -DCORVANE_SANITIZE=OFF -DCORVANE_WERROR=ON \
        -DCMAKE_CXX_FLAGS="$package_cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$package_ldflags" \
        $corvane_launcher >/dev/null
    ninja -C build-release -j"$jobs" "$@"
}

release() {
    release_build
    # The programs labelled servers run in the servers stage (with the sanitizers; those that
    # start threads also in the tsan stage), the windows' in the ui stage.
    (cd build-release && ctest --output-on-failure -j"$jobs" --timeout 600 -LE 'browser|servers|ui|session')
}

# Installs the npm packages of a package.json (exact versions, its package-lock.json) into
# a folder of the build tree, never into the checkout: npm_packages FROM_FOLDER INTO_FOLDER.
npm_packages() {
    mkdir -p "$2"
    if ! cmp -s "$1/package-lock.json" "$2/package-lock.json" || [ ! -d "$2/node_modules" ]; then
        cp "$1/package.json" "$1/package-lock.json" "$2/"
        (cd "$2" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    fi
}

browser() {
    # The built sites in a real browser (headless Chromium through chromedriver), with the
    # sanitizer build's corvane-cli; the Modern pages also through the Nu Html Checker and
    # axe-core. Here a missing browser or checker fails the test instead of skipping it.
    scripts/install-deps.sh browser
    asan_build
    npm_packages tests/browser build-asan/npm/browser
    (cd build-asan && CORVANE_REQUIRE_BROWSER=1 ctest --output-on-failure -L browser --timeout 300)
}

ui() {
    # The windows of the release build (Qt WebEngine does not run under the address
    # sanitizer); their tests run without a display, then one keyboard-only session runs
    # under Xvfb with a window manager.
    release_build corvane corvane_ui_tests
    (
        export QT_QPA_PLATFORM=offscreen
        if [ "$(id -u)" -eq 0 ]; then
            export QTWEBENGINE_DISABLE_SANDBOX=1
        fi
        cd build-release && ctest --output-on-failure -L ui --timeout 300
    )
    # A whole session with the keyboard alone, on a real X server (Xvfb, openbox, xdotool).
    (cd build-release && CORVANE_REQUIRE_SESSION=1 ctest --output-on-failure -L session --timeout 300)
}

fuzz() {
    # The fuzz targets need clang's libFuzzer. Every target built (records, values, pictures,
    # charsets, archive, generator, markdown, ftpreply) runs, with its seeds from tests/fuzz/seeds/NAME.
    # Each source on its own (no unity build), so that one lacking an include fails here.
    # shellcheck disable=SC2086
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_UNITY_BUILD=OFF -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF -DCORVANE_WERROR=ON \
        $corvane_launcher >/dev/null
    ninja -C build-fuzz -j"$jobs" corvane_fuzzers
    # As many targets at a time as there are jobs, each with a log of its own that is shown
    # when it fails.
    running=""
    failed=""
    for fuzzer in build-fuzz/tests/fuzz/fuzz_*; do
        [ -x "$fuzzer" ] || continue
        name=$(basename "$fuzzer")
        corpus="$root/build-fuzz/corpus-$name"
        mkdir -p "$corpus"
        seeds="$root/tests/fuzz/seeds/${name#fuzz_}"
        [ -d "$seeds" ] || seeds=""
        echo "Fuzzing $name for ${fuzz_seconds}s"
        # shellcheck disable=SC2086
        "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=10 "$corpus" $seeds \
            >"$root/build-fuzz/$name.log" 2>&1 &
        running="$running $!:$name"
        set -- $running
        if [ $# -ge "$jobs" ]; then
            fuzz_wait "$1"
            shift
            running="$*"
        fi
    done
    for job in $running; do
        fuzz_wait "$job"
    done
    [ -z "$failed" ] || { echo "Failed:$failed"; return 1; }
}

# fuzz_wait PID:NAME waits for one fuzz target and shows its end, all of its log on a failure.
fuzz_wait() {
    if wait "${1%%:*}"; then
        tail -n 1 "$root/build-fuzz/${1#*:}.log"
    else
        cat "$root/build-fuzz/${1#*:}.log"
        failed="$failed ${1#*:}"
    fi
}

package() {
    # The Debian package as a user gets it: built by scripts/package.sh, checked with
    # lintian, desktop-file-validate and appstreamcli, installed with apt into this machine,
    # corvane-cli run on the bundled sample and the program started under Xvfb, then removed.
    if [ "${CORVANE_PACKAGE_TEST:-1}" != 0 ]; then
        # With the release stage's flags: what it compiled, ccache has.
        CORVANE_WERROR=ON scripts/test-package.sh
    else
        echo "CORVANE_PACKAGE_TEST=0: the package is left out"
    fi
}

run_stage() {
    echo "=== test.sh: stage '$1'"
    begun=$(date +%s)
    "$1"
    echo "=== test.sh: stage '$1' passed in $(($(date +%s) - begun)) s"
}

# The second lane: this script again, in a session of its own so that a failure in the first
# lane ends it whole, its output kept in a file and shown when it is joined.
side=""
if [ "${CORVANE_LANES:-2}" != 1 ]; then
    for s in servers browser; do
        case " $stages " in *" $s "*) side="$side $s" ;; esac
    done
    side=${side# }
    # Alone, the side stages are the whole run: no second lane.
    others=""
    for s in $stages; do
        case " $side " in *" $s "*) ;; *) others="$others $s" ;; esac
    done
    [ -n "$others" ] || side=""
fi
side_pid=""
side_log="$root/build-side-lane.log"
start_side() {
    # Every package either lane needs is installed now, before two apt-get could meet.
    parts=""
    for s in $stages; do
        case "$s" in
        tidy) parts="$parts style" ;;
        tsan) parts="$parts ui" ;;
        release | ui) parts="$parts ui package" ;;
        browser | package) parts="$parts $s" ;;
        esac
    done
    # shellcheck disable=SC2086
    scripts/install-deps.sh build test $parts
    echo "=== test.sh: stages '$side' run beside the others (their output comes when they end)"
    # shellcheck disable=SC2086
    CORVANE_LANES=1 setsid "$root/scripts/test.sh" $side >"$side_log" 2>&1 &
    side_pid=$!
}
stop_side() {
    if [ -n "$side_pid" ]; then
        kill -- "-$side_pid" 2>/dev/null || true
        wait "$side_pid" 2>/dev/null || true
        side_pid=""
    fi
}
join_side() {
    [ -n "$side_pid" ] || return 0
    stage=$side
    side_status=0
    wait "$side_pid" || side_status=$?
    side_pid=""
    echo "=== test.sh: the output of the stages '$side'"
    cat "$side_log"
    # The side lane's last line names the stage of its own that failed.
    failed_side=$(sed -n "s/^test.sh: stage '\(.*\)' failed.*/\1/p" "$side_log" | tail -n 1)
    [ -z "$failed_side" ] || stage=$failed_side
    return "$side_status"
}
ended() {
    ended_status=$?
    stop_side
    finished_with "$ended_status"
}
trap ended EXIT

for next in $stages; do
    case " $side " in
    *" $next "*)
        [ -n "$side_pid" ] || start_side
        continue
        ;;
    esac
    [ "$next" != package ] || join_side
    stage=$next
    run_stage "$stage"
done
join_side
stage=""
if [ -n "$corvane_launcher" ]; then
    ccache --show-stats | grep -E 'Hits|Misses|hit rate' || true
fi
echo "All tests passed ($stages) in $(($(date +%s) - started)) s."
