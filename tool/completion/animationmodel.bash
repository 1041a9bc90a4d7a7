# bash completion for animationmodel. The subcommands and their options are
# read from the tool's own --help, so they never go stale.

# Completes a layer name of the document already on the line (the first
# word after the subcommand that is neither an option nor an option's value),
# read with `info --layers`. The names are matched and quoted here, never
# passed through compgen -W, which would expand them.
_animationmodel_layers()
{
    local tool=$1 sub=$2 file="" i found=""
    for ((i = 1; i < cword; i++)); do
        if [[ -z $found ]]; then
            [[ ${words[i]} == "$sub" ]] && found=1
            continue
        fi
        case ${words[i]} in
            --layer | --from | --to | -o | --output | --max-bytes) ((i++)) ;;
            -*) ;;
            *)
                file=${words[i]}
                break
                ;;
        esac
    done
    [[ -n $file ]] || return
    # The words as typed may hold quotes or backslashes: without them, with no
    # eval (which would run what the word holds).
    local typed=$cur name quoted
    typed=${typed//\\/} typed=${typed//\'/} typed=${typed//\"/}
    file=${file//\\/} file=${file//\'/} file=${file//\"/}
    while IFS= read -r name; do
        if [[ $name == "$typed"* ]]; then
            printf -v quoted '%q' "$name"
            COMPREPLY+=("$quoted")
        fi
    done < <("$tool" info --layers -- "$file" 2> /dev/null)
}

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
        --max-bytes | --intro-end | --outro-start | --seconds | --each | --max-keys | --from | --to | --width)
            return
            ;;
        --layer)
            _animationmodel_layers "$1" "$sub"
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
    # Every subcommand reads JSON documents and binary clip files alike.
    _filedir '@(json|clip)'
}
complete -F _animationmodel animationmodel
