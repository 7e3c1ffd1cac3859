#!/usr/bin/env bash
# Runs a test program with a session bus of its own, under a private Xvfb
# server (through run_under_xvfb.sh); the program starts the accessibility
# bus on it. Without dbus-run-session the program is told why in
# ZENTRIO_NO_ATSPI, so it can skip.
set -u
here="$(dirname "$0")"
if ! command -v dbus-run-session >/dev/null 2>&1; then
    ZENTRIO_NO_ATSPI="dbus-run-session is not installed" exec "$here/run_under_xvfb.sh" "$@"
fi
exec dbus-run-session -- "$here/run_under_xvfb.sh" "$@"
