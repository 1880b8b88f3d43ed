#!/bin/sh
# Installs the Debian 12 packages that Corvane needs, only those that are missing.
# Usage: scripts/install-deps.sh [build|test|browser|ui|style|package]...   (build is always included)
set -eu

packages="g++ cmake ninja-build pkg-config libpugixml-dev libjpeg62-turbo-dev libgif-dev"
for part in "$@"; do
    case "$part" in
    build) ;;
    test) packages="$packages libgtest-dev python3 python3-pyftpdlib clang libclang-rt-14-dev" ;;
    browser) packages="$packages python3 chromium chromium-driver python3-selenium" ;;
    ui) packages="$packages qt6-base-dev qt6-webengine-dev libgl-dev xvfb xauth" ;;
    style) packages="$packages git clang-format clang-tidy" ;;
    # The Debian package: scdoc writes the manual pages, dpkg-shlibdeps (dpkg-dev, with file)
    # works out the dependencies, and the checks of the installed package use the tools
    # distributions use (desktop-file-validate, appstreamcli, lintian) and Xvfb.
    package) packages="$packages scdoc dpkg-dev file desktop-file-utils appstream lintian xvfb xauth x11-utils" ;;
    *) echo "install-deps.sh: unknown part '$part'" >&2; exit 2 ;;
    esac
done

missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $p" ;;
    esac
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "install-deps.sh: these packages are missing and I am not root:$missing" >&2
    exit 1
fi
echo "Installing:$missing"
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
