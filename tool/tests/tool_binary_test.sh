#!/usr/bin/env bash
# The tool and binary clip files: compile writes them, and every subcommand
# that reads a document reads them with the same result as the JSON.
# Usage: tool_binary_test.sh TOOL EXAMPLES_DATA WORK_DIR
set -euo pipefail
tool=$1 data=$2 work=$3
rm -rf "$work" && mkdir -p "$work/json" "$work/clip"
cd "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Each document under the same name twice, as JSON and as a binary clip.
for kind in animation timeline; do
    cp "$data/show.$kind.json" "json/show.$kind"
    "$tool" compile "json/show.$kind" -o "clip/show.$kind" || fail "compile $kind"
    head -c 8 "clip/show.$kind" | od -An -tx1 | grep -q "89 41 4d 43 4c 49 50 0a" || fail "$kind: no magic"
done

# Same output from both, run in each folder.
same() {
    local name=$1; shift
    (cd json && "$tool" "$@" >../json.out 2>&1) || fail "$name on JSON"
    (cd clip && "$tool" "$@" >../clip.out 2>&1) || fail "$name on the clip"
    cmp -s json.out clip.out || fail "$name: outputs differ: $(diff json.out clip.out | head -5)"
}
same "format" format show.animation
same "format of a timeline" format show.timeline
same "sample" sample show.animation --from 20 --to 30
same "sample of layers" sample show.animation --layer glow --layer pose
same "check" check show.animation show.timeline
same "cut" cut show.timeline --intro-end 24 --outro-start 72
same "fit" fit show.animation --seconds 3
same "split" split show.timeline --each 7
same "render" render show.animation -o - --width 400
same "play" play show.timeline -o - --width 400
same "compile" compile show.timeline -o -

# format gives the canonical text back byte for byte.
"$tool" format clip/show.animation | cmp -s - "$data/show.animation.json" || fail "format: not the canonical text"
"$tool" format clip/show.timeline | cmp -s - "$data/show.timeline.json" || fail "format: not the timeline's text"

# info: the same, and a last line (or member) that names the kind of file.
(cd json && "$tool" info show.animation) >json.out
(cd clip && "$tool" info show.animation) >clip.out
printf '  stored as a binary clip file (format version 1)\n' >>json.out
cmp -s json.out clip.out || fail "info: $(diff json.out clip.out)"
(cd json && "$tool" info --json show.timeline) | sed 's/}$/,"stored":"binary clip file"}/' >json.out
(cd clip && "$tool" info --json show.timeline) >clip.out
cmp -s json.out clip.out || fail "info --json: $(diff json.out clip.out)"

# Standard input, in both directions.
"$tool" compile - -o - <"$data/show.animation.json" | "$tool" format - | cmp -s - "$data/show.animation.json" \
    || fail "compile and format through pipes"

# format -i, --check and --diff refuse a binary clip and leave it as it was.
cp clip/show.animation kept.clip
for mode in -i --check --diff; do
    status=0; "$tool" format $mode kept.clip >out.txt 2>err.txt || status=$?
    [[ $status -eq 1 ]] || fail "format $mode of a clip: status $status"
    [[ ! -s out.txt ]] || fail "format $mode of a clip wrote to standard output"
    grep -qxF "animationmodel: kept.clip: a binary clip file, not a JSON text: format -i, --check and --diff take JSON (format FILE -o OUT writes its JSON)" err.txt \
        || fail "format $mode of a clip: $(cat err.txt)"
    cmp -s kept.clip clip/show.animation || fail "format $mode changed the clip"
done

# Refusals: a cut file, a damaged one, a bad document, no -o.
head -c 100 clip/show.animation >cut.clip
status=0; "$tool" info cut.clip 2>err.txt || status=$?
[[ $status -eq 1 ]] || fail "a cut clip: status $status"
grep -qxF "animationmodel: cut.clip: byte 24: the file says it holds $(stat -c %s clip/show.animation) bytes but it holds 100 (truncated or extended)" err.txt \
    || fail "a cut clip: $(cat err.txt)"
cp clip/show.animation damaged.clip
printf '\x7f' | dd of=damaged.clip bs=1 seek=500 conv=notrunc status=none
status=0; "$tool" sample damaged.clip 2>err.txt >/dev/null || status=$?
[[ $status -eq 1 ]] && grep -qxF "animationmodel: damaged.clip: byte 8: the checksum does not match the content (the file is damaged)" err.txt \
    || fail "a damaged clip: $status $(cat err.txt)"
printf '{"format": "animationmodel", "version": 1, "fps": 0}\n' >bad.json
status=0; "$tool" compile bad.json -o bad.clip 2>err.txt || status=$?
[[ $status -eq 1 && ! -e bad.clip ]] || fail "compile of a bad document: $status"
# Without -o the clip goes to standard output, unless that is a terminal.
status=0; "$tool" compile json/show.animation >piped.clip 2>err.txt || status=$?
[[ $status -eq 0 ]] && cmp -s piped.clip clip/show.animation || fail "compile to standard output: $status"
if command -v script >/dev/null; then
    status=0; script -qec "'$tool' compile json/show.animation" /dev/null >tty.txt 2>&1 </dev/null || status=$?
    [[ $status -eq 2 ]] && grep -q "^animationmodel: compile: standard output is a terminal: name the clip file with -o OUT, or redirect it" tty.txt \
        && grep -q "usage: animationmodel compile FILE \[-o OUT.clip\]" tty.txt || fail "compile onto a terminal: $status $(cat tty.txt)"
fi
# An empty -o (an unset variable) is refused, not taken for standard output.
status=0; "$tool" compile json/show.animation -o '' >out.bin 2>err.txt || status=$?
[[ $status -eq 2 && ! -s out.bin ]] && grep -qxF "animationmodel: --output: an empty file name" err.txt \
    || fail "compile -o '': $status $(cat err.txt)"
# A NUL is still refused in a text that is not a clip.
printf '{\0}' >nul.json
status=0; "$tool" check nul.json 2>err.txt >/dev/null || status=$?
[[ $status -eq 1 ]] && grep -q "a NUL character is not allowed here" err.txt || fail "NUL in JSON: $(cat err.txt)"

if ((failures)); then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "all binary clip cases of the tool pass"
