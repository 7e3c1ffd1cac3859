#!/usr/bin/env bash
# Installs what is missing, builds Zentrio and starts it: in the folder
# given, or else in a fresh demo music folder under the user's cache folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target zentrio zentrio_demo
if [ $# -gt 0 ]; then
    exec ./build/zentrio "$@"
fi
demo="${XDG_CACHE_HOME:-$HOME/.cache}/zentrio/demo"
rm -rf "$demo"
./build/zentrio_demo "$demo"
exec ./build/zentrio "$demo"
