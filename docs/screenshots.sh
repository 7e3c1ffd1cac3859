#!/usr/bin/env bash
# Starts the real program under Xvfb with a temporary settings folder and
# the demo music folder, selects a row, opens the About window, and saves
# the windows as PNG files in docs/: the main window at scales 1 and 2, and
# the About window. SCALES="1 1.5 2" saves one main window for each scale.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --docs
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target zentrio zentrio_demo

work="$(mktemp -d)"
cleanup() {
    [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/config/zentrio" "$work/runtime" "$work/state"
chmod 700 "$work/runtime"
./build/zentrio_demo "$work/music" >/dev/null

display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1800x1100x24 -nolisten tcp &
xvfb=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# start SCALE: the program at that scale, its window id in $main
start() {
    printf '[config]\nX= 0\nY= 0\nDrive=/\nPath=%s\n' "$work/music" >"$work/config/zentrio/zentrio.ini"
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" XDG_STATE_HOME="$work/state" \
        QT_SCALE_FACTOR="$1" QT_QPA_PLATFORM=xcb ./build/zentrio &
    app=$!
    main=$(xdotool search --sync --name "Zentrio and TAG editor")
    sleep 1
}
stop() { kill "$app"; wait "$app" 2>/dev/null || true; app=; }

for scale in ${SCALES:-1 2}; do
    start "$scale"
    # a click on the second row of the file list, below the menu bar and the headers
    xdotool mousemove --window "$main" "$(echo "150 * $scale / 1" | bc)" "$(echo "71 * $scale / 1" | bc)" click 1
    sleep 0.5
    name="main-window.png"
    [ "$scale" = 1 ] || name="main-window-scale${scale}.png"
    import -window "$main" "docs/$name"
    echo "saved docs/$name"
    if [ "$scale" = 1 ]; then
        xdotool key alt+b # "about", the one menu-bar entry whose free letter is b
        about=$(xdotool search --sync --name "About Zentrio v5.0")
        sleep 0.5
        import -window "$about" docs/about-window.png
        echo "saved docs/about-window.png"
    fi
    stop
done
