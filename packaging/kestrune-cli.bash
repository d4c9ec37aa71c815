# bash completion for kestrune-cli: its commands, each command's options and
# their values, and .oma files and folders. The commands and options are read
# from the program's own usage, so they are always those it has.

# The option lines of one command's usage, as "NAME VALUE" ("NAME" for a
# flag), long and short names alike.
_kestrune_cli_options() {
    "$1" help "$2" 2>/dev/null | sed -n '/^Options:/,$s/^  \(-[a-zA-Z], \)\{0,1\}\(--[a-z][a-z-]*\)\( [^ ]*\)\{0,1\}  .*/\1\2\3/p'
}

_kestrune_cli() {
    local cur prev words cword
    _init_completion -n = || return
    local cli=${words[0]}

    if ((cword == 1)); then
        local commands
        commands=$("$cli" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p')
        mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
        return
    fi
    local command=${words[1]}
    if [[ $command == help ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$("$cli" --help 2>/dev/null |
            sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p')" -- "$cur")
        return
    fi

    local line names=() value=""
    while IFS= read -r line; do
        local parts
        read -r -a parts <<<"${line/, / }"
        if [[ ${parts[-1]} != -* ]]; then
            local name
            for name in "${parts[@]:0:${#parts[@]}-1}"; do
                [[ $name == "$prev" ]] && value=${parts[-1]}
            done
            names+=("${parts[@]:0:${#parts[@]}-1}")
        else
            names+=("${parts[@]}")
        fi
    done < <(_kestrune_cli_options "$cli" "$command")

    if [[ -n $value ]]; then
        # A value from a fixed set ("R|L"), a file or folder (OUT), or
        # something to type.
        if [[ $value == *'|'* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "${value//|/ }" -- "$cur")
        elif [[ $value == OUT ]]; then
            _filedir
        fi
        return
    fi
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "${names[*]}" -- "$cur")
        return
    fi
    _filedir '[oO][mM][aA]'
} &&
    complete -F _kestrune_cli kestrune-cli
