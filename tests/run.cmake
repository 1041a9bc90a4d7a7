# run(COMMAND...): for the tests that run as `cmake -P`; runs a command and
# stops the test, naming the command, when it fails.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}")
    endif()
endfunction()
