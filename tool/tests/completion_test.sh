#!/usr/bin/env bash
# Completes command lines with the installed-to-be bash completion script and
# the built tool. usage: completion_test.sh TOOL SCRIPT BASH_COMPLETION EXAMPLE_TIMELINE
set -u
tool=$(realpath "$1")
example=$(realpath "$4")
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
touch a.json b.txt show.clip
expect "check cut compile" "$tool" c
expect "info" "$tool" --max-bytes 10 i
expect "--max-bytes" "$tool" --max
expect "--intro-end" "$tool" cut a.json --in
expect "--json" "$tool" info --j
expect "--in-place" "$tool" format --in
expect "" "$tool" cut --intro-end ""
expect "" "$tool" sample --layer ""
expect "a.json show.clip folder" "$tool" info ""
expect "show.clip" "$tool" format show.c
expect "show.clip" "$tool" compile show.
expect "a.json show.clip b.txt folder" "$tool" format a.json -o ""
# Layer names of the file on the line, quoted; a name is never run.
mkdir layers && cd layers || exit 1
cp "$example" show.json
printf '%s' '{"format": "animationmodel-timeline", "version": 1, "layers": {"$(touch ran)": [], "p`touch ran`": [], "p q": []}}' > odd.json
expect "glow" "$tool" sample show.json --layer g
expect "pose position\\ x" "$tool" sample --from 2 show.json --to 9 --layer po
expect "pose position\\ x" "$tool" sample --to 9 -o out.csv --layer glow show.json --layer po
expect "position\\ x" "$tool" sample show.json --layer position\\ 
expect "glow opacity pose position\\ x scale" "$tool" sample -o x.csv show.json --layer glow --layer ""
expect "" "$tool" sample none.json --layer ""
expect "\\\$\\(touch\\ ran\\) p\\ q p\\\`touch\\ ran\\\`" "$tool" sample odd.json --layer ""
expect "p\\ q p\\\`touch\\ ran\\\`" "$tool" sample odd.json --layer p
[[ ! -e ran ]] || { echo "a layer name was run"; status=1; }
exit $status
