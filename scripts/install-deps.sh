#!/bin/sh
# Installs the Debian 12 packages that Corvane needs, only those that are missing.
# Usage: scripts/install-deps.sh [build|test|browser|ui|style|package|pictures]...   (build is always included)
set -eu

# OpenSSL (FTPS), libssh (SFTP), libsecret (the desktop keyring), libarchive (a project in
# one file) and md4c (the parser of the pages' Markdown texts) are part of the core build;
# libpng and libwebp read and write PNG and WebP pictures beside JPEG and GIF; ccache keeps
# what was compiled for the next build (scripts/ccache-env.sh). libgit2 with zlib publishes
# to a Git branch.
packages="g++ cmake ninja-build ccache pkg-config libpugixml-dev libjpeg62-turbo-dev libgif-dev libpng-dev libwebp-dev libssl-dev libssh-dev libsecret-1-dev libarchive-dev libmd4c-dev libgit2-dev zlib1g-dev"
for part in "$@"; do
    case "$part" in
    build) ;;
    # The publishing tests talk to real servers on 127.0.0.1: pyftpdlib (also with TLS),
    # vsftpd, OpenSSH's sshd and a private gnome-keyring-daemon; lftp is the benchmark's yardstick;
    # git serves the Git publish's repositories (http-backend, git-shell) and is its yardstick.
    test) packages="$packages git libgtest-dev python3 python3-pyftpdlib python3-openssl clang libclang-rt-14-dev vsftpd openssh-server openssh-client gnome-keyring dbus-daemon dbus-bin libsecret-tools lftp openssl" ;;
    # The Modern pages are also checked by the Nu Html Checker (Java) and axe-core, which npm
    # installs into the build tree (tests/browser/package.json).
    # npm comes with Debian's nodejs package only as a package of its own, and with other
    # builds of Node.js (NodeSource's) inside nodejs, which conflicts with Debian's npm: it is
    # asked for only when no npm is there.
    browser)
        packages="$packages python3 chromium chromium-driver python3-selenium python3-feedparser default-jre-headless nodejs"
        command -v npm >/dev/null 2>&1 || packages="$packages npm"
        ;;
    # The keyboard-only session runs under Xvfb with a window manager, driven by xdotool.
    ui) packages="$packages qt6-base-dev qt6-webengine-dev libgl-dev xvfb xauth xdotool openbox" ;;
    style) packages="$packages git clang-format clang-tidy" ;;
    # The Debian package: scdoc writes the manual pages, dpkg-shlibdeps (dpkg-dev, with file)
    # works out the dependencies, and the checks of the installed package use the tools
    # distributions use (desktop-file-validate, appstreamcli, lintian) and Xvfb.
    package) packages="$packages scdoc dpkg-dev file desktop-file-utils appstream lintian xvfb xauth x11-utils" ;;
    # ImageMagick draws the sample's and the templates' pictures (examples/make-*.sh);
    # pngquant and optipng make the pictures of docs/ small (scripts/screenshot.sh).
    pictures) packages="$packages imagemagick pngquant optipng" ;;
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
