#!/usr/bin/env bash
# The legend lists only what the picture holds. A timeline of 106 frames at
# 300 px (1 px a frame): layer a alternates Held1 and Held2 keys of 1 frame,
# which the picture draws one by one and the page (marks of 8 px) merges;
# layer b is one key of effect 7. usage: legend_test.sh TOOL
set -u
tool=$1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
cd "$(mktemp -d)" || exit 1
{
    printf '{"format": "animationmodel-timeline", "version": 1, "layers": {"a": ['
    for ((i = 0; i < 106; i++)); do
        ((i > 0)) && printf ', '
        printf '{"effect": "Held%d", "duration": 1}' $((i % 2 + 1))
    done
    printf '], "b": [{"effect": 7, "duration": 106}]}}'
} >legend.json
"$tool" render legend.json --width 300 >picture.svg || fail "render"
legend=$(grep -o '<text x="[0-9.]*" y="[0-9]*">[^<]*</text>' picture.svg | sed 's/<[^>]*>//g' | sed 1d | head -n -1)
[[ $legend == $'Held1\nHeld2\nother effect' ]] || fail "the picture's legend: $legend"
"$tool" play legend.json --width 300 -o page.html || fail "play"
grep -q '>merged keys of several effects</text>' page.html || fail "the page's legend lacks its merged keys"
# The page's data places the plot where its picture draws it, below that legend.
top=$(grep -o 'data-plot-top="[0-9.]*"' page.html | cut -d'"' -f2)
band=$(grep -o '<rect x="[0-9.]*" y="[0-9.]*" width="[0-9.]*" height="[0-9.]*" class="band"' page.html | head -1 \
    | sed 's/.* y="\([0-9.]*\)".*/\1/')
[[ -n $top && $top == "$band" ]] || fail "the page's plot top $top, its picture's bands at $band"
((failures == 0))
