#!/usr/bin/env bash
# Layer names and binary bytes that must never reach a terminal raw, with a
# pseudo-terminal of script(1) as standard output (skipped without it).
# usage: terminal_test.sh TOOL FIXTURES
set -u
tool=$1 fixtures=$2
# Its own folder for what it writes: other tests run beside it in the same one.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A --layer that no phase holds is named as info names it.
status=0; "$tool" sample "$fixtures/control_names.json" --layer $'a\033[31m' 2>err.txt || status=$?
[[ $status -eq 1 ]] && grep -qxF "animationmodel: $fixtures/control_names.json: no layer named 'a'\$'\\033''[31m'" err.txt \
    || fail "unknown control name: $status $(cat -A err.txt)"

if command -v script >/dev/null; then
    # On a terminal CR and LF are quoted too, not only NUL and escapes.
    script -qec "'$tool' sample '$fixtures/csv_specials.json'" /dev/null </dev/null >specials.txt
    grep -qF "0,body,'a'\$'\\n''b',0,0,Held1," specials.txt || fail "sample onto a terminal: $(cat -A specials.txt)"
    if grep -q $'\033' specials.txt; then fail "an escape reached the terminal"; fi
    script -qec "'$tool' sample '$fixtures/control_names.json'" /dev/null </dev/null >names.txt
    if grep -q $'\033' names.txt; then fail "an escape reached the terminal: $(cat -A names.txt)"; fi
    # info without FILE on a terminal does not wait for typing.
    status=0; script -qec "'$tool' info" /dev/null </dev/null >info.txt || status=$?
    [[ $status -eq 2 ]] && grep -q '^animationmodel: info: no FILE given, and standard input is a terminal' info.txt \
        || fail "info on a terminal: $status $(cat info.txt)"
    # Binary bytes go to a terminal neither by default nor by -o -.
    for out in "" "-o -"; do
        status=0; script -qec "'$tool' compile '$fixtures/control_names.json' $out" /dev/null </dev/null >clip.txt || status=$?
        [[ $status -eq 2 ]] && grep -q '^animationmodel: compile: standard output is a terminal' clip.txt \
            || fail "compile $out onto a terminal: $status $(cat -A clip.txt)"
    done
fi
((failures == 0)) || exit 1
