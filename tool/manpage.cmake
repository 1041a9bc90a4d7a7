# Writes the man page of the tool with help2man: its --help and --version,
# each subcommand's --help as a section, and the hand-written sections of
# animationmodel.h2m. Run as `cmake -P` with TOOL, HELP2MAN, INCLUDE, WORK, OUTPUT.
execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "Subcommands:\n.*" listed "${help}")
string(REGEX MATCHALL "\n  [a-z]+ " names "${listed}")
file(READ ${INCLUDE} sections)
string(APPEND sections "\n[SUBCOMMANDS]\n")
foreach(name IN LISTS names)
    string(STRIP "${name}" name)
    execute_process(COMMAND ${TOOL} ${name} --help OUTPUT_VARIABLE text COMMAND_ERROR_IS_FATAL ANY)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(APPEND sections ".SS ${name}\n.nf\n${text}.fi\n")
endforeach()
file(WRITE ${WORK}/animationmodel.h2m "${sections}")
execute_process(COMMAND ${HELP2MAN} --no-info --section=1 --include=${WORK}/animationmodel.h2m
    --output=${OUTPUT} ${TOOL} COMMAND_ERROR_IS_FATAL ANY)
