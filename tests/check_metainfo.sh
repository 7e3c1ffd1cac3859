#!/usr/bin/env bash
# The AppStream metadata is valid, and it and the desktop entry name one id.
set -euo pipefail
metainfo="$1"
desktop="$2"
appstreamcli validate --no-net "$metainfo"
id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ "$launchable" = "$id.desktop" ] || { echo "launchable $launchable is not $id.desktop" >&2; exit 1; }
[ "$(basename "$desktop")" = "$launchable" ] || { echo "desktop entry $(basename "$desktop") is not $launchable" >&2; exit 1; }
echo "metainfo: $id, valid, launches $launchable"
