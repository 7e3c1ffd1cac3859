#!/usr/bin/env bash
# Starts the real program under Xvfb with a temporary settings folder and a
# small generated music folder, selects a row, opens the About window, and
# saves both windows as PNG files in docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --docs
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target zentrio

work="$(mktemp -d)"
cleanup() {
    [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# field TEXT: TEXT padded with blanks to the 30 bytes of an ID3v1 field
field() { printf '%-30.30s' "$1"; }
track() { # NAME SONG ARTIST ALBUM
    {
        head -c 2000 /dev/zero | tr '\0' '\377'
        printf 'TAG'; field "$2"; field "$3"; field "$4"; printf '2001%30s\014' ''
    } >"$work/music/$1"
}
mkdir -p "$work/music" "$work/config/zentrio" "$work/runtime"
chmod 700 "$work/runtime"
track "01 yesterday.mp3" "Yesterday" "The Beatles" "Help!"
track "02 queen.mp3" "Bohemian Rhapsody" "Queen" "A Night at the Opera"
track "03 acdc.mp3" "Back in Black" "AC/DC" "Back in Black"
track "04 simon.mp3" "The Boxer" "Simon & Garfunkel" "Bridge over Troubled Water"
track "05 untagged.mp3" "" "" ""
head -c 2000 /dev/zero >"$work/music/05 untagged.mp3"
printf '[config]\nX= 0\nY= 0\nDrive=/\nPath=%s\n' "$work/music" >"$work/config/zentrio/zentrio.ini"

display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb ./build/zentrio &
app=$!
main=$(xdotool search --sync --name "Zentrio and TAG editor")
sleep 1
# the first row of the file list, below the menu bar and the column headers
xdotool mousemove --window "$main" 150 54 click 1
sleep 0.5
import -window "$main" docs/main-window.png
# the "about" menu command, the last one on the menu bar
xdotool mousemove --window "$main" 263 10 click 1
about=$(xdotool search --sync --name "About Zentrio v5.0")
sleep 0.5
import -window "$about" docs/about-window.png
echo "saved docs/main-window.png and docs/about-window.png"
