# Writes the man page of the tool with help2man: its --help and --version,
# each subcommand's --help as a section, and the hand-written sections of
# animationmodel.h2m. Run as `cmake -P` with TOOL, HELP2MAN, INCLUDE, WORK, OUTPUT.
#
# A subcommand's help becomes man text that man wraps at the reader's width:
# its summary, its usage line, and each argument and option as a tagged
# paragraph (CLI11 puts the names in the first 30 columns, the help after).

# `text` with the characters that roff reads as requests escaped.
function(roff_escape text variable)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
    set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# The roff of one subcommand's --help text.
function(subcommand_section name help variable)
    string(REPLACE ";" "\\;" help "${help}")
    string(REPLACE "\n" ";" lines "${help}")
    set(section ".SS ${name}\n")
    foreach(line IN LISTS lines)
        if(line MATCHES "^Usage: (.*)$")
            roff_escape("${CMAKE_MATCH_1}" usage)
            string(APPEND section ".PP\n.B ${usage}\n")
        elseif(line MATCHES "^(Positionals|Options):$" OR line STREQUAL "")
            continue()
        elseif(line MATCHES "^                              (.*)$")
            roff_escape("${CMAKE_MATCH_1}" more)
            string(APPEND section "${more}\n")
        elseif(line MATCHES "^  ")
            string(SUBSTRING "${line}" 2 28 names)
            string(STRIP "${names}" names)
            string(LENGTH "${line}" length)
            set(description "")
            if(length GREATER 30)
                string(SUBSTRING "${line}" 30 -1 description)
            endif()
            # The names bold, their value's type as it is.
            string(REGEX MATCH "^[^ ]+" tag "${names}")
            set(type "")
            if(names MATCHES "^[^ ]+ (.*)$")
                set(type "${CMAKE_MATCH_1}")
            endif()
            roff_escape("${tag}" tag)
            roff_escape("${type}" type)
            roff_escape("${description}" description)
            string(APPEND section ".TP\n\\fB${tag}\\fR ${type}\n${description}\n")
        else()
            roff_escape("${line}" summary)
            string(APPEND section "${summary}\n")
        endif()
    endforeach()
    set(${variable} "${section}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "Subcommands:\n.*" listed "${help}")
string(REGEX MATCHALL "\n  [a-z]+ " names "${listed}")
file(READ ${INCLUDE} sections)
string(APPEND sections "\n[SUBCOMMANDS]\n")
foreach(name IN LISTS names)
    string(STRIP "${name}" name)
    execute_process(COMMAND ${TOOL} ${name} --help OUTPUT_VARIABLE text COMMAND_ERROR_IS_FATAL ANY)
    subcommand_section(${name} "${text}" section)
    string(APPEND sections "${section}")
endforeach()
file(WRITE ${WORK}/animationmodel.h2m "${sections}")
execute_process(COMMAND ${HELP2MAN} --no-info --section=1 --include=${WORK}/animationmodel.h2m
    --output=${OUTPUT} ${TOOL} COMMAND_ERROR_IS_FATAL ANY)
