#!/usr/bin/env bash
# The man page as man shows it at 80 columns: no line wider, every
# subcommand's section wrapped text (not its --help as it is) and an example
# of every subcommand. usage: manpage_test.sh GROFF MANPAGE TOOL
set -u
groff=$1 manpage=$2 tool=$3
text=$("$groff" -man -Tascii -rLL=80n -P-cbou "$manpage") || exit 1
status=0
wide=$(awk 'length > 80' <<<"$text")
[[ -z $wide ]] || { echo "lines past 80 columns:"$'\n'"$wide"; status=1; }
examples=$(sed -n '/^EXAMPLES/,/^[A-Z]/p' <<<"$text")
for sub in $("$tool" --help | sed -n '/^Subcommands:/,$ s/^  \([a-z][a-z]*\) .*/\1/p'); do
    grep -q "^ *animationmodel $sub " <<<"$examples" || { echo "no example of $sub"; status=1; }
    grep -q "^ *--max-bytes UINT64$" <<<"$(sed -n "/^   $sub\$/,/^   [a-z]*\$/p" <<<"$text")" \
        || { echo "the section of $sub lacks --max-bytes on a line of its own"; status=1; }
done
exit $status
