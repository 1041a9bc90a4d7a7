# cmake -DGCOVR=PATH -DSOURCE_DIR=DIR -DBINARY_DIR=DIR "-DAREAS=FOLDER LINES BRANCHES|..." -P coverage.cmake
#
# The line and branch coverage of each folder of the source tree (its tests/
# left out), each against its own thresholds in percent. Every folder is
# reported, with its summary and its details in BINARY_DIR/coverage-FOLDER.txt;
# then the script fails if any fell short. gcov reads the counters once, into
# coverage.json, which each folder's report filters.
set(counters ${BINARY_DIR}/coverage.json)
execute_process(
    COMMAND ${GCOVR} --root ${SOURCE_DIR} --exclude-throw-branches --exclude-unreachable-branches --json ${counters}
        ${BINARY_DIR}
    WORKING_DIRECTORY ${BINARY_DIR}
    COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "|" ";" areas "${AREAS}")
set(short)
foreach(area IN LISTS areas)
    separate_arguments(area)
    list(GET area 0 folder)
    list(GET area 1 lines)
    list(GET area 2 branches)
    message(STATUS "${folder}/: at least ${lines}% of lines and ${branches}% of branches")
    execute_process(
        COMMAND ${GCOVR} --root ${SOURCE_DIR} --add-tracefile ${counters}
            --filter ${SOURCE_DIR}/${folder}/ --exclude ${SOURCE_DIR}/${folder}/tests/
            --fail-under-line ${lines} --fail-under-branch ${branches}
            --print-summary --txt ${BINARY_DIR}/coverage-${folder}.txt
        WORKING_DIRECTORY ${BINARY_DIR}
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        list(APPEND short ${folder})
    endif()
endforeach()
if(short)
    list(JOIN short ", " short)
    message(FATAL_ERROR "below their thresholds: ${short} (details in ${BINARY_DIR}/coverage-*.txt)")
endif()
