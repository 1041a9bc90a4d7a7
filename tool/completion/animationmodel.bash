# bash completion for animationmodel. The subcommands and their options are
# read from the tool's own --help, so they never go stale.

_animationmodel()
{
    local cur prev words cword
    _init_completion || return

    local sub="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --max-bytes) ((i++)) ;;
            -*) ;;
            *)
                sub=${words[i]}
                break
                ;;
        esac
    done

    case $prev in
        --max-bytes | --intro-end | --outro-start | --seconds | --each | --max-keys | --from | --to | --width | --layer)
            return
            ;;
        -o | --output)
            _filedir
            return
            ;;
    esac

    if [[ -z $sub ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
        else
            local subcommands
            subcommands=$("$1" --help 2>/dev/null | sed -n '/^Subcommands:/,$ s/^  \([a-z][a-z]*\) .*/\1/p')
            COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
        fi
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1" "$sub --help")' -- "$cur"))
        return
    fi
    _filedir json
}
complete -F _animationmodel animationmodel
