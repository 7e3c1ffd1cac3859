#!/usr/bin/env bash
# Runs a test program on the xcb platform under a private Xvfb server. Where
# no X server can be started, the program runs anyway and is told why in
# ZENTRIO_NO_X, so that it can skip with that reason.
set -u
program="$1"
shift
if ! command -v Xvfb >/dev/null 2>&1; then
    ZENTRIO_NO_X="Xvfb is not installed (scripts/setup.sh installs it)" QT_QPA_PLATFORM=offscreen exec "$program" "$@"
fi
for display in $(seq 100 140); do
    [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] && continue
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    server=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        kill -0 "$server" 2>/dev/null || break
        sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$display" ]; then
        DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$program" "$@"
        status=$?
        kill "$server" 2>/dev/null
        wait "$server" 2>/dev/null
        exit $status
    fi
    kill "$server" 2>/dev/null
done
ZENTRIO_NO_X="no X server could be started" QT_QPA_PLATFORM=offscreen exec "$program" "$@"
