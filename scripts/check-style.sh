#!/bin/sh
# The style gates of CI: clang-format must leave every C++ file as it is, and clang-tidy
# (the checks in .clang-tidy) must find nothing in the core, the command-line tool, the
# benchmarks, the core's tests and the windows. Usage: scripts/check-style.sh [format|tidy]...
# (both by default)
set -eu
cd "$(dirname "$0")/.."
jobs=${CORVANE_JOBS:-2}
parts=${*:-format tidy}

# Runs clang-tidy over files with the compile commands of a configured build folder; a file
# that passed before and has not changed since (nor any header it includes) is not checked
# again (scripts/tidy-cached.py).
tidy() {
    folder=$1
    shift
    echo "clang-tidy: checking $# files"
    scripts/tidy-cached.py "$folder" "$jobs" "$folder/tidy.log" "$@" || {
        grep -E 'warning:|error:' "$folder/tidy.log" | grep -v 'warnings generated' | sort -u
        echo "clang-tidy found faults (full report: $folder/tidy.log)" >&2
        exit 1
    }
}

for part in $parts; do
    case "$part" in
    format)
        scripts/install-deps.sh style
        echo "clang-format: checking every C++ file"
        git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
        ;;
    tidy)
        scripts/install-deps.sh build test ui style
        # Configured build folders give clang-tidy the compile commands (of unity sources:
        # scripts/tidy-cached.py); nothing is built.
        # The window tests are left out: they include what Qt's moc makes during a build.
        cmake -S . -B build-tidy -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_UI=OFF \
            -DCORVANE_BENCH=ON -DCORVANE_TESTS=ON >/dev/null
        # shellcheck disable=SC2046
        tidy build-tidy $(git ls-files '*.cpp' | grep -E '^(platform|model|generator|publish|cli|bench|tests)/' |
            grep -v -E '^tests/(ui|fuzz)/')
        cmake -S . -B build-tidy-ui -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_UI=ON \
            -DCORVANE_BENCH=OFF -DCORVANE_TESTS=OFF >/dev/null
        # shellcheck disable=SC2046
        tidy build-tidy-ui $(git ls-files 'ui/*.cpp' 'app/*.cpp')
        # clang-tidy's check against including a source file is off for the unity sources,
        # which do nothing else: no other file may.
        if git grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]*\.(cpp|cc|cxx)[">]' -- '*.cpp' '*.h'; then
            echo "check-style.sh: a file includes a source file" >&2
            exit 1
        fi
        ;;
    *) echo "check-style.sh: unknown part '$part'" >&2; exit 2 ;;
    esac
done
echo "Style checks passed."
