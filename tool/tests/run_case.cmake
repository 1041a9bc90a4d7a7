# Runs the tool once, as `cmake -P`, and checks what it did:
#   TOOL, ARGS (arguments separated by |), STATUS (expected exit status)
#   STDOUT_FILE  file that standard output must equal, byte for byte (optional)
#   STDERR       text that standard error must equal, without its final newline (optional)
#   STDIN        file fed to standard input (optional)
#   WORK_DIR     where to run (made afresh)
#   SETUP        a |-list of "SOURCE=DESTINATION" copies into WORK_DIR before running (optional)
#   UNCHANGED    file in WORK_DIR that must be byte-identical to the SETUP source it came from (optional)
#   OUTPUT_FILE, OUTPUT_EXPECTED  a file in WORK_DIR that must equal an expected file (optional)
string(REPLACE "|" ";" ARGS "${ARGS}")
string(REPLACE "|" ";" SETUP "${SETUP}")
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
foreach(copy IN LISTS SETUP)
    string(REPLACE "=" ";" parts "${copy}")
    list(GET parts 0 source)
    list(GET parts 1 destination)
    configure_file(${source} ${WORK_DIR}/${destination} COPYONLY)
    set(setup_source_${destination} ${source})
endforeach()

set(input_args)
if(DEFINED STDIN)
    set(input_args INPUT_FILE ${STDIN})
endif()
# Every case takes well under a second: one that runs on for 60 s (reading
# /dev/zero without end, say) fails as a timeout instead of holding the run.
execute_process(COMMAND ${TOOL} ${ARGS}
    WORKING_DIRECTORY ${WORK_DIR}
    ${input_args}
    TIMEOUT 60
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)

string(REPLACE ";" " " shown "${ARGS}")
if(NOT status EQUAL STATUS)
    message(FATAL_ERROR "animationmodel ${shown}: exit status ${status}, expected ${STATUS}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(DEFINED STDOUT_FILE)
    file(READ ${STDOUT_FILE} expected)
    if(NOT out STREQUAL expected)
        file(WRITE ${WORK_DIR}/stdout.actual "${out}")
        message(FATAL_ERROR "animationmodel ${shown}: standard output differs from ${STDOUT_FILE} "
            "(see ${WORK_DIR}/stdout.actual)")
    endif()
endif()
if(DEFINED STDERR)
    string(REGEX REPLACE "\n$" "" err "${err}")
    if(NOT err STREQUAL STDERR)
        message(FATAL_ERROR "animationmodel ${shown}: standard error is\n${err}\nexpected\n${STDERR}")
    endif()
endif()
if(DEFINED UNCHANGED)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/${UNCHANGED} ${setup_source_${UNCHANGED}}
        RESULT_VARIABLE differs)
    if(differs)
        message(FATAL_ERROR "animationmodel ${shown}: ${UNCHANGED} changed")
    endif()
endif()
if(DEFINED OUTPUT_FILE)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK_DIR}/${OUTPUT_FILE} ${OUTPUT_EXPECTED}
        RESULT_VARIABLE differs)
    if(differs)
        message(FATAL_ERROR "animationmodel ${shown}: ${OUTPUT_FILE} differs from ${OUTPUT_EXPECTED}")
    endif()
endif()
