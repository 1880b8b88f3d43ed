#!/bin/sh
# Builds the Debian package corvane_VERSION_ARCH.deb in build-package/: installs what is
# missing, makes a Release build of the two programs (no tests, no benchmarks, warnings as
# errors only with CORVANE_WERROR=ON) for the install prefix /usr with Debian's hardening
# flags, and packs it with CPack. With --install, then installs it with apt-get. Prints the
# package's path last.
# Usage: scripts/package.sh [--install]
set -eu
cd "$(dirname "$0")/.."
jobs=${CORVANE_JOBS:-2}
build=${CORVANE_PACKAGE_DIR:-build-package}
install=""
case "${1:-}" in
"") ;;
--install) install=yes ;;
*) echo "package.sh: unknown option '$1'" >&2; echo "Usage: scripts/package.sh [--install]" >&2; exit 2 ;;
esac

scripts/install-deps.sh build ui package
. scripts/ccache-env.sh
. scripts/package-flags.sh

# CORVANE_WERROR=ON (scripts/test.sh) builds with the release stage's very flags, so that
# ccache has all of it.
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCORVANE_UI=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF -DCORVANE_WERROR="${CORVANE_WERROR:-OFF}" \
    -DCORVANE_SANITIZE=OFF -DCMAKE_CXX_FLAGS="$package_cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$package_ldflags" $corvane_launcher
ninja -C "$build" -j"$jobs"
rm -f "$build"/corvane_*.deb
(cd "$build" && cpack -G DEB)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/corvane_${version}_$(dpkg --print-architecture).deb"
if [ ! -f "$deb" ]; then
    echo "package.sh: CPack did not make $deb" >&2
    exit 1
fi
if [ -n "$install" ]; then
    if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi
    case "$deb" in /*) file=$deb ;; *) file=./$deb ;; esac
    $as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$file"
fi
echo "$deb"
