# bash completion for zentrio-cli: its commands (and tag's own commands),
# their options, and the values of --fs; paths complete as files and folders.

_zentrio_cli()
{
    local cur prev command="" i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            list|rename|apply|undo) command=${COMP_WORDS[i]}; break ;;
            tag) command=tag ;;
            set|from-name) [[ $command == tag ]] && { command=tag-${COMP_WORDS[i]}; break; } ;;
        esac
        [[ $command == tag && ${COMP_WORDS[i]} == undo ]] && { command=tag-undo; break; }
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "list rename apply undo tag --help --version" -- "$cur"))
        return
    fi
    if [[ $command == tag ]]; then
        COMPREPLY=($(compgen -W "set from-name undo --help" -- "$cur"))
        return
    fi

    case $prev in
        --fs) COMPREPLY=($(compgen -W "auto posix fat" -- "$cur")); return ;;
        --to) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        -p|--pattern|-f|--format|--sep) return ;;
        --song|--artist|--album|--year|--genre|--albumartist|--track|--disc) return ;;
        --plan-out) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac

    local options=""
    case $command in
        list) options="-r --recursive --id3v1 -f --format -0 --null --json --help" ;;
        rename) options="-p --pattern -r --recursive --id3v1 --to --fs -n --dry-run --plan-out --json --sep --no-accent --no-space --help" ;;
        apply) options="--json --help" ;;
        undo) options="-n --dry-run --list --json --drop --help" ;;
        tag-undo) options="-n --dry-run --list --drop --help" ;;
        tag-set) options="--song --artist --album --year --genre --albumartist --track --disc -r --recursive --id3v1 -n --dry-run --json --help" ;;
        tag-from-name) options="-p --pattern --underscore -r --recursive -n --dry-run --json --help" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $command != undo && $command != tag-undo ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
} &&
    complete -o filenames -F _zentrio_cli zentrio-cli
