#!/usr/bin/env bash
# An installed zentrio-cli reads an ID3v2 tag through the TagLib module
# installed beside it, not through the build tree's.
set -euo pipefail
build=$1
cli=$2
prefix=$(mktemp -d)
music=$(mktemp -d)
trap 'rm -rf "$prefix" "$music"' EXIT
cmake --install "$build" --prefix "$prefix/usr" >/dev/null
# An ID3v2.3 tag with one text frame, TIT2 "Installed", then some audio.
printf 'ID3\003\000\000\000\000\000\024TIT2\000\000\000\012\000\000\000Installed' > "$music/a.mp3"
head -c 2000 /dev/zero >> "$music/a.mp3"
installed="$prefix/usr/bin/$(basename "$cli")"
loaded=$(LD_DEBUG=files "$installed" list "$music" 2>&1 >/dev/null | grep -o '/[^ ]*libzentrio-taglib.so' | sort -u)
listed=$("$installed" list "$music")
case "$loaded" in
"$prefix"/usr/*) ;;
*) echo "the installed program loaded '$loaded'" >&2; exit 1 ;;
esac
case "$listed" in
*Installed*) ;;
*) echo "the installed program listed '$listed'" >&2; exit 1 ;;
esac
