# The command line as a script or a new user meets it: info on several files
# and on standard input, compile to standard output, ranges, messages in the
# tool's own words, the wide table, and layer names that never reach a
# terminal raw. Included by CMakeLists.txt, whose tool_case it uses.

# info takes many files, a blank line between them; one that fails is named
# and the others are still shown; no FILE reads standard input.
tool_case(info_two_files 0 ARGS info|show.timeline.json|show.animation.json SETUP ${timeline} ${animation}
    STDOUT ${expected}/info_two.txt)
tool_case(info_missing_among_many 1 ARGS info|show.timeline.json|none.json|show.animation.json
    SETUP ${timeline} ${animation} STDOUT ${expected}/info_two.txt
    STDERR "animationmodel: none.json: No such file or directory")
tool_case(info_no_file_reads_stdin 0 ARGS info STDIN ${data}/show.timeline.json STDOUT ${expected}/info_stdin.txt)
add_test(NAME tool_info_layers_many_files
    COMMAND sh -c "set -e; tool=$<TARGET_FILE:animationmodel_tool>; cd ${data}; \
\"$tool\" info --layers show.timeline.json show.animation.json > ${CMAKE_CURRENT_BINARY_DIR}/layers_many.txt; \
cd ${CMAKE_CURRENT_BINARY_DIR}; { echo show.timeline.json:; cat ${expected}/info_layers.txt; echo; \
echo show.animation.json:; cat ${expected}/info_layers.txt; } | cmp - layers_many.txt; \
test $(\"$tool\" info --json ${data}/show.timeline.json ${data}/show.animation.json | grep -c '^{\"file\":') = 2")

# Usage errors in the tool's words: an inverted range, a repeated option, an
# option without its value, a missing one, a mistyped subcommand.
tool_case(sample_inverted_range 2 ARGS sample|show.animation.json|--from|90|--to|10 SETUP ${animation}
    STDERR "animationmodel: --to 10 is before --from 90: the range runs from --from up to the frame before --to
usage: animationmodel sample FILE [--layer NAME]... [--from F] [--to T] [--wide] [-o OUT.csv]")
tool_case(sample_empty_range 0 ARGS sample|show.animation.json|--from|10|--to|10|--wide SETUP ${animation})
tool_case(repeated_option 2 ARGS cut|show.timeline.json|--intro-end|1|--intro-end|2|--outro-start|3 SETUP ${timeline}
    STDERR "animationmodel: --intro-end given more than once
usage: animationmodel cut TIMELINE --intro-end N --outro-start M [--quiet] [-o OUT]")
tool_case(repeated_output 2 ARGS render|a.json|-o|x.svg|--output|y.svg STDERR "animationmodel: --output given more than once
usage: animationmodel render FILE [-o OUT.svg] [--width PX]")
tool_case(option_without_value 2 ARGS fit|a.json|--seconds STDERR "animationmodel: --seconds needs a value
usage: animationmodel fit FILE --seconds S [-o OUT]")
tool_case(missing_option 2 ARGS split|a.json STDERR "animationmodel: no --each given
usage: animationmodel split FILE --each L [--even-values] [--max-keys N] [-o OUT]")
tool_case(missing_file_argument 2 ARGS fit|--seconds|2 STDERR "animationmodel: no FILE given
usage: animationmodel fit FILE --seconds S [-o OUT]")
tool_case(mistyped_subcommand 2 ARGS inf|a.json STDERR "animationmodel: unknown subcommand \"inf\" (did you mean info?)
usage: animationmodel {info,check,format,cut,fit,split,sample,render,play,compile} ... (animationmodel --help for more)")
tool_case(mistyped_after_max_bytes 2 ARGS --max-bytes|9|smaple STDERR "animationmodel: unknown subcommand \"smaple\" (did you mean sample?)
usage: animationmodel {info,check,format,cut,fit,split,sample,render,play,compile} ... (animationmodel --help for more)")
tool_case(far_from_every_subcommand 2 ARGS xyzzy STDERR "animationmodel: unknown subcommand \"xyzzy\"
usage: animationmodel {info,check,format,cut,fit,split,sample,render,play,compile} ... (animationmodel --help for more)")
# Three edits away is too far; of two as near, the first in the usage line.
tool_case(three_edits_from_a_subcommand 2 ARGS xinfoxx STDERR "animationmodel: unknown subcommand \"xinfoxx\"
usage: animationmodel {info,check,format,cut,fit,split,sample,render,play,compile} ... (animationmodel --help for more)")
tool_case(as_near_two_subcommands 2 ARGS cit STDERR "animationmodel: unknown subcommand \"cit\" (did you mean cut?)
usage: animationmodel {info,check,format,cut,fit,split,sample,render,play,compile} ... (animationmodel --help for more)")
# compile's help names FILE once; --max-bytes is in every subcommand's help.
tool_case(help_compile 0 ARGS compile|--help STDOUT ${expected}/help_compile.txt)
add_test(NAME tool_help_max_bytes_everywhere
    COMMAND sh -c "tool=$<TARGET_FILE:animationmodel_tool>; for sub in info check format cut fit split sample render play compile; do \
\"$tool\" $sub --help | grep -q '^  --max-bytes UINT64 ' || { echo \"$sub --help lacks --max-bytes\"; exit 1; }; done")
add_test(NAME tool_no_cli11_wording
    COMMAND sh -c "tool=$<TARGET_FILE:animationmodel_tool>; for line in 'cut a --intro-end 1 --intro-end 2' 'cut a' 'fit' \
'sample a --to' 'info a --json --json' ''; do \"$tool\" $line 2> err.txt; \
if grep -q 'required\\|At Most\\|received\\|Requires' err.txt; then cat err.txt; exit 1; fi; done"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

# The wide table: a column per layer (quoted as CSV), a value where a layer
# holds one; frames that no chosen layer covers still have their row.
tool_case(sample_wide 0 ARGS sample|wide.json|--wide SETUP ${fixtures}/wide.json=wide.json
    STDOUT ${expected}/sample_wide.csv)
tool_case(sample_wide_layers 0 ARGS sample|wide.json|--wide|--layer|h|--layer|z|--from|1
    SETUP ${fixtures}/wide.json=wide.json STDOUT ${expected}/sample_wide_layers.csv)

# A layer name holding a NUL or an escape sequence is written as info writes
# it, to a file as to a terminal; on a terminal (a pseudo-terminal of
# script(1)) CR and LF are quoted too, and a clip goes nowhere.
tool_case(sample_control_names 0 ARGS sample|control_names.json SETUP ${fixtures}/control_names.json=control_names.json
    STDOUT ${expected}/sample_control_names.csv)
add_test(NAME tool_names_and_terminals
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/terminal_test.sh $<TARGET_FILE:animationmodel_tool> ${fixtures}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

# The man page wraps at the reader's width and shows every subcommand at work.
find_program(GROFF groff)
if(GROFF)
    add_test(NAME tool_manpage_layout
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/manpage_test.sh ${GROFF} ${PROJECT_BINARY_DIR}/tool/animationmodel.1
            $<TARGET_FILE:animationmodel_tool>)
endif()

# The legend lists only the effects and merged marks that the picture holds.
add_test(NAME tool_legend_lists_what_is_drawn
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/legend_test.sh $<TARGET_FILE:animationmodel_tool>)

# Numbers at the quick conversion's digit limit: 20 digits (with or without a
# point) wrap past 2^64 in 64 bits, to 0, 1, 3 or 0.01; each must be read as
# the number written, as 19 digits are.
tool_case(format_twenty_digits 0 ARGS format|twenty.json SETUP ${fixtures}/twenty_digits.json=twenty.json
    STDOUT ${expected}/format_twenty_digits.json)
