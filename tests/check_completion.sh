#!/usr/bin/env bash
# The bash completion of zentrio-cli offers its commands, each command's
# options, and the values of --fs.
set -euo pipefail
source "$1"
complete_line() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _zentrio_cli
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
echo "completion: ok"
