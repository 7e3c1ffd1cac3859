# bash completion for zentrio-cli: its commands (and tag's own commands),
# their options, the values of --fs, --conflicts, --by and --keep, and a query's field names; paths
# complete as files and folders, each name one word whatever blanks it holds.

# The word as the shell will read it: "a\ b", "'a b" and "\"a b" are "a b".
# Read by hand, never by eval, so no part of the line is ever run.
_zentrio_cli_dequote()
{
    local word=$1 out="" quote="" c i
    for ((i = 0; i < ${#word}; i++)); do
        c=${word:i:1}
        if [[ -n $quote && $c == "$quote" ]]; then
            quote=""
        elif [[ $quote != "'" && $c == \\ ]]; then
            i=$((i + 1)) # within "..." only \\, \", \$ and \` lose their backslash
            [[ $quote == '"' && ${word:i:1} != [\\\"\$\`] ]] && out+=$c
            out+=${word:i:1}
        elif [[ -z $quote && ( $c == "'" || $c == '"' ) ]]; then
            quote=$c
        else
            out+=$c
        fi
    done
    printf '%s' "$out"
}

# Files (or, with -d, folders) whose names begin with the word, one reply
# each: compgen gives one a line, and its output is never split at blanks;
# readline quotes each reply as it puts it on the line.
_zentrio_cli_paths()
{
    compopt -o filenames 2>/dev/null || true # also when called outside a completion
    mapfile -t COMPREPLY < <(compgen "$1" -- "$(_zentrio_cli_dequote "$2")")
}

_zentrio_cli()
{
    local cur prev command="" i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            list|rename|apply|undo|dupes) command=${COMP_WORDS[i]}; break ;;
            tag) command=tag ;;
            set|from-name) [[ $command == tag ]] && { command=tag-${COMP_WORDS[i]}; break; } ;;
        esac
        [[ $command == tag && ${COMP_WORDS[i]} == undo ]] && { command=tag-undo; break; }
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "list rename apply undo tag dupes --help --version" -- "$cur"))
        return
    fi
    if [[ $command == tag ]]; then
        COMPREPLY=($(compgen -W "set from-name undo --help" -- "$cur"))
        return
    fi

    case $prev in
        --fs) COMPREPLY=($(compgen -W "auto posix fat" -- "$cur")); return ;;
        --conflicts) COMPREPLY=($(compgen -W "stop skip number" -- "$cur")); return ;;
        --by) COMPREPLY=($(compgen -W "audio tags" -- "$cur")); return ;;
        --keep) COMPREPLY=($(compgen -W "first newest oldest shortest-path" -- "$cur")); return ;;
        --to|--move-to) _zentrio_cli_paths -d "$cur"; return ;;
        -p|--pattern|-f|--format|--sep) return ;;
        --ext) COMPREPLY=($(compgen -W "mp3 flac ogg opus m4a wav aiff wv ape" -- "$cur")); return ;;
        --song|--artist|--album|--year|--genre|--albumartist|--track|--disc) return ;;
        --plan-out) _zentrio_cli_paths -f "$cur"; return ;;
        -q|--query)
            # A query's first field, "year:" and the like; the value is the user's.
            compopt -o nospace 2>/dev/null || true
            COMPREPLY=($(compgen -W "song: artist: album: track: tracks: disc: discs: year: genre: albumartist: path: name: folder: ext: format:" -- "$cur"))
            return ;;
    esac

    local options=""
    case $command in
        list) options="-r --recursive --ext -q --query --id3v1 -f --format --paths -0 --null --json --count --help" ;;
        rename) options="-p --pattern -r --recursive --ext -q --query --id3v1 --to --fs --conflicts -n --dry-run --plan-out --json --sep --no-accent --no-space --help" ;;
        dupes) options="-r --recursive --ext --by -0 --null --json --move-to --keep --conflicts -n --dry-run --help" ;;
        apply) options="--conflicts -n --dry-run --json --help" ;;
        undo) options="-n --dry-run --list --json --drop --help" ;;
        tag-undo) options="-n --dry-run --list --drop --json --help" ;;
        tag-set) options="--song --artist --album --year --genre --albumartist --track --disc -r --recursive --ext -q --query --id3v1 -n --dry-run --keep-time --json --help" ;;
        tag-from-name) options="-p --pattern --underscore -r --recursive --ext -q --query -n --dry-run --keep-time --json --help" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $command == tag-undo ]]; then
        # The ids of the tag changes kept, the first word of each listed one.
        COMPREPLY=($(compgen -W "$(zentrio-cli tag undo --list 2>/dev/null | cut -d' ' -f1 | grep -v '^no$')" -- "$cur"))
    elif [[ $command != undo && $command != tag-undo ]]; then
        _zentrio_cli_paths -f "$cur"
    fi
} &&
    complete -o filenames -F _zentrio_cli zentrio-cli
