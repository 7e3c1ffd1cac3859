# bash completion for zentrio-cli: its commands, their options, and the
# values of --fs; paths complete as files and folders.

_zentrio_cli()
{
    local cur prev command="" i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            list|rename|apply|undo) command=${COMP_WORDS[i]}; break ;;
        esac
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "list rename apply undo --help --version" -- "$cur"))
        return
    fi

    case $prev in
        --fs) COMPREPLY=($(compgen -W "auto posix fat" -- "$cur")); return ;;
        --to) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        -p|--pattern|-f|--format|--sep) return ;;
        --plan-out) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac

    local options=""
    case $command in
        list) options="-r --recursive --id3v1 -f --format -0 --null --json --help" ;;
        rename) options="-p --pattern -r --recursive --id3v1 --to --fs -n --dry-run --plan-out --json --sep --no-accent --no-space --help" ;;
        apply) options="--json --help" ;;
        undo) options="-n --dry-run --list --drop --help" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $command != undo ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
} &&
    complete -o filenames -F _zentrio_cli zentrio-cli
