# Runs PROGRAM and checks that it succeeds and prints exactly the text of EXPECTED_FILE.
execute_process(COMMAND ${PROGRAM} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ ${EXPECTED_FILE} expected)
if(NOT status EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "exit status ${status}\nstdout:\n${out}\nexpected:\n${expected}\nstderr:\n${err}")
endif()
