#!/usr/bin/env bash
# The bash completion of zentrio-cli offers its commands, each command's
# options, the values of --fs, and file names as whole words.
set -euo pipefail
source "$1"
complete_line() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _zentrio_cli
    local IFS="|"
    echo "${COMPREPLY[*]}"
}
expect() {
    local want=$1
    shift
    local got
    got=$(complete_line "$@")
    if [ "$got" != "$want" ]; then
        echo "completing '$*': got '$got', want '$want'" >&2
        exit 1
    fi
}
expect "rename" zentrio-cli ren
expect "--dry-run" zentrio-cli rename --dry
expect "fat" zentrio-cli rename --fs f
expect "number" zentrio-cli apply --conflicts n
expect "--list" zentrio-cli undo --li
expect "--json" zentrio-cli apply --js
expect "from-name" zentrio-cli tag fr
expect "--albumartist" zentrio-cli tag set --albuma
expect "--underscore" zentrio-cli tag from-name --und
expect "--list" zentrio-cli tag undo --li
expect "--paths" zentrio-cli list --pa
expect "dupes" zentrio-cli du
expect "--move-to" zentrio-cli dupes --mo
expect "shortest-path" zentrio-cli dupes --keep s
expect "tags" zentrio-cli dupes --by t
expect "--count" zentrio-cli list --co
expect "year:" zentrio-cli tag set -q ye

# A name with blanks is one reply, as typed in any quoting; nothing typed is run.
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder"
touch "a b.mp3" "a c.mp3" "it's here.mp3" other.mp3
mkdir "new music"
expect "a b.mp3|a c.mp3" zentrio-cli list a
expect "a b.mp3" zentrio-cli rename -p '{song}' 'a\ b'
expect "a c.mp3" zentrio-cli tag set --year 1999 "'a c"
expect "a b.mp3" zentrio-cli list '"a b'
expect "it's here.mp3" zentrio-cli list "it\\'s\\ "
expect "new music" zentrio-cli rename --to new
expect "" zentrio-cli list '$(touch ran)'
[ ! -e ran ] || { echo "completing ran a command" >&2; exit 1; }
echo "completion: ok"
