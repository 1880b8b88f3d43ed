#!/bin/sh
# Runs a test program in a private session bus with a GNOME keyring of its own, unlocked, in
# a temporary home, so that the user's own bus and keyring are never touched. Without
# dbus-run-session or gnome-keyring-daemon the program runs all the same, with
# CORVANE_KEYRING_MISSING naming what is missing: its keyring tests skip then (or fail, with
# CORVANE_REQUIRE_SERVERS=1). Everything it starts ends with the bus, at the latest after the
# time-out.
set -eu
missing=""
for tool in dbus-run-session gnome-keyring-daemon timeout; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    CORVANE_KEYRING_MISSING="not installed:$missing (dbus, gnome-keyring)"
    export CORVANE_KEYRING_MISSING
    exec "$@"
fi

home=$(mktemp -d "${TMPDIR:-/tmp}/corvane-keyring-XXXXXX")
trap 'rm -rf "$home"' EXIT
mkdir -m 0700 "$home/run"
HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data"
XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache"
export HOME XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME
unset DISPLAY WAYLAND_DISPLAY GNOME_KEYRING_CONTROL SSH_AUTH_SOCK DBUS_SESSION_BUS_ADDRESS || true

status=0
timeout 240 dbus-run-session -- sh -c '
    if printf %s corvane-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    then CORVANE_TEST_KEYRING=1; export CORVANE_TEST_KEYRING
    else CORVANE_KEYRING_MISSING="gnome-keyring-daemon did not start"; export CORVANE_KEYRING_MISSING
    fi
    exec "$@"' sh "$@" || status=$?
exit "$status"
