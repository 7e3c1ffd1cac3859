#!/bin/bash
# Reproduces two faults of the command line's library rename and its undo
# on a throwaway folder: ./undo-faults.sh path/to/zentrio-cli
#  1. an undo whose move back fails forgets the run (needs root and ext4: chattr)
#  2. "Cover.jpg" and "cover.jpg" moved along in one run: the run stops
#     midway with "the target exists", or undo leaves a file out
set -u
Z=$(realpath "$1")
T=$(mktemp -d)
export HOME=$T/home XDG_STATE_HOME=$T/state
mkdir -p "$HOME"
mp3() { # path song album
    mkdir -p "$(dirname "$1")"
    python3 -c '
import sys
f = lambda s, n: s.encode()[:n].ljust(n, b"\0")
tag = b"TAG" + f(sys.argv[2], 30) + f("x", 30) + f(sys.argv[3], 30) + b"2001" + b"\0" * 28 + b"\0\x01\xff"
open(sys.argv[1], "wb").write((b"\xff\xfb\x90\x64" + b"\0" * 413) * 3 + tag)' "$1" "$2" "$3"
}

echo "== 1: a failed undo forgets the run"
mp3 "$T/one/A/a.mp3" Alpha New
"$Z" rename -r -p '{album}/{song}' --to "$T/one" "$T/one" >/dev/null
chattr +i "$T/one" && {
    "$Z" undo 2>&1 | tail -1
    chattr -i "$T/one"
    echo "second undo, the way clear again:"
    "$Z" undo 2>&1 | tail -1
    find "$T/one" -type f
}

echo "== 2: names one letter case apart, moved at once"
for i in $(seq 1 200); do
    mp3 "$T/two/X$i/01.mp3" "SongX$i" "N$i"
    mp3 "$T/two/Y$i/01.mp3" "SongY$i" "X$i"
    for f in X$i Y$i; do echo "$f big" >"$T/two/$f/Cover.jpg"; echo "$f small" >"$T/two/$f/cover.jpg"; done
done
for k in $(seq 1 10); do
    "$Z" rename -r -p '{album}/{song}' --to "$T/two" "$T/two" >"$T/out" 2>"$T/err" || {
        echo "run $k: exit $?"; grep -m1 "exists" "$T/err"; "$Z" undo >/dev/null 2>&1; break; }
    "$Z" undo >"$T/out" 2>"$T/err" || { echo "undo $k: exit $?"; grep -m1 "left alone" "$T/err"; break; }
done
rm -rf "$T"
