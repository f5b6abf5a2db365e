# Bash completion for atlasync and atlasync-tool. Commands and options are read
# from the programs' own --help, so the completion cannot drift from them.

# The options named in the text on stdin.
_atlasync_options_in() {
    grep -o -- '--[a-z][a-z-]*' | sort -u
}

_atlasync_complete_folders() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$1")
}

_atlasync() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    case $prev in
        --volume | --demo-dir)
            _atlasync_complete_folders "$cur"
            return
            ;;
        --ca-file | --log)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return
            ;;
        --server-root) return ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W \
        "$("${COMP_WORDS[0]}" --help 2>/dev/null | _atlasync_options_in)" -- "$cur")
}

_atlasync_tool() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local help command="" i
    COMPREPLY=()
    help=$("${COMP_WORDS[0]}" --help 2>/dev/null)
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} != -* ]]; then
            command=${COMP_WORDS[i]}
            break
        fi
    done
    # The help lists each command as "  NAME SYNOPSIS" under "Commands:".
    if [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W \
            "$(sed -n 's/^  \([a-z][a-z-]*\)\( .*\)\{0,1\}$/\1/p' <<<"$help") --help --version" \
            -- "$cur")
        return
    fi
    case $prev in
        --volume)
            _atlasync_complete_folders "$cur"
            return
            ;;
        --server-root | --drive | --drive-flags | --lang | --version | --os) return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W \
            "$("${COMP_WORDS[0]}" "$command" --help 2>/dev/null | _atlasync_options_in)" -- "$cur")
    else
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

complete -F _atlasync atlasync
complete -F _atlasync_tool atlasync-tool
