# Runs the engine loop of docs/runtime.md on FILE and checks its exit status
# (EXPECTED_STATUS) and that its output matches EXPECTED (a regular expression).
execute_process(COMMAND ${PROGRAM} ${FILE} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status STREQUAL EXPECTED_STATUS)
    message(FATAL_ERROR "exit status ${status}, expected ${EXPECTED_STATUS}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(NOT "${out}${err}" MATCHES "${EXPECTED}")
    message(FATAL_ERROR "output does not match ${EXPECTED}:\n${out}${err}")
endif()
message(STATUS "${out}${err}")
