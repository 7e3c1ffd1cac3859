#!/usr/bin/env bash
# The installed programs and their TagLib module: installed in a temporary
# folder, zentrio-cli reads an ID3v2 tag through the module installed
# beside it and through no other, and every installed program exports each
# of the core's functions the module calls back into.
set -euo pipefail
build=$1
bindir=$2 # the install's full program folder
destdir=$(mktemp -d)
music=$(mktemp -d)
manifest="$build/install_manifest.txt"
[ -e "$manifest" ] && cp -p "$manifest" "$music.manifest"
restore() {
    if [ -e "$music.manifest" ]; then mv "$music.manifest" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$destdir" "$music"
}
trap restore EXIT
DESTDIR="$destdir" cmake --install "$build" >/dev/null
cli="$destdir$bindir/zentrio-cli"
module=$(find "$destdir" -name libzentrio-taglib.so)
[ -n "$module" ] || { echo "no module installed" >&2; exit 1; }

for program in "$cli" "$destdir$bindir/zentrio"; do
    missing=$(comm -23 <(nm -u "$module" | awk '$2 ~ /zentrio/ {print $2}' | sort) \
        <(nm -D --defined-only "$program" | awk '{print $3}' | sort))
    [ -z "$missing" ] || { echo "$program does not export: $missing" >&2; exit 1; }
done

# An ID3v2.3 tag with one text frame, TIT2 "Installed", then some audio.
printf 'ID3\003\000\000\000\000\000\024TIT2\000\000\000\012\000\000\000Installed' > "$music/a.mp3"
head -c 2000 /dev/zero >> "$music/a.mp3"
listed=$("$cli" list "$music")
case "$listed" in
*Installed*) ;;
*) echo "the installed program listed '$listed'" >&2; exit 1 ;;
esac
# Without the installed module it stops, and says so: it never takes the
# build tree's.
rm "$module"
if said=$("$cli" list "$music" 2>&1); then
    echo "listed without its module: '$said'" >&2
    exit 1
fi
case "$said" in
*"cannot load its TagLib module"*) ;;
*) echo "without its module it said '$said'" >&2; exit 1 ;;
esac
