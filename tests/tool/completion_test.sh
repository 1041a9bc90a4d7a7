#!/usr/bin/env bash
# Completes command lines with the installed-to-be bash completion script and
# the built tool. usage: completion_test.sh TOOL SCRIPT BASH_COMPLETION
set -u
tool=$(realpath "$1")
# shellcheck source=/dev/null
source "$3"
# shellcheck source=/dev/null
source "$2"

# Prints what completing the last of the words gives.
complete_words()
{
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _animationmodel "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    echo "${COMPREPLY[*]}"
}

status=0
expect()
{
    local want=$1 got
    shift
    got=$(complete_words "$@")
    if [[ $got != "$want" ]]; then
        echo "completing '$*': got '$got', expected '$want'"
        status=1
    fi
}

cd "$(mktemp -d)" || exit 1
mkdir folder
touch a.json b.txt
expect "check cut compile" "$tool" c
expect "info" "$tool" --max-bytes 10 i
expect "--max-bytes" "$tool" --max
expect "--intro-end" "$tool" cut a.json --in
expect "--json" "$tool" info --j
expect "--in-place" "$tool" format --in
expect "" "$tool" cut --intro-end ""
expect "" "$tool" sample --layer ""
expect "a.json folder" "$tool" info ""
expect "a.json b.txt folder" "$tool" format a.json -o ""
exit $status
