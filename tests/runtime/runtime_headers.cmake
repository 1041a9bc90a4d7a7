# Preprocesses SOURCE (the runtime's headers) with the build's compiler CXX,
# with the include folders INCLUDES (separated by |): it must reach no header
# of the authoring model and come to at most MAX_LINES lines (-E -P). The
# runtime's sources (RUNTIME_DIR) include nothing from outside their folder
# but the runtime's headers.
string(REPLACE "|" ";" includes "${INCLUDES}")
list(TRANSFORM includes PREPEND "-I")
set(authoring animation animationdocument animationkey animationkeycommand animationsampler animationalgorithms
    clipbuilder)
list(JOIN authoring "|" authoring_regex)
file(GLOB sources ${RUNTIME_DIR}/*)
foreach(source ${sources})
    file(STRINGS ${source} included REGEX "^#include")
    foreach(line ${included})
        if(line MATCHES "\\.\\./" OR line MATCHES "animationmodel/(${authoring_regex})\\.h")
            message(FATAL_ERROR "${source}: ${line}")
        endif()
    endforeach()
endforeach()
set(command ${CXX} -std=c++17 ${includes} ${SOURCE})

execute_process(COMMAND ${command} -M RESULT_VARIABLE status OUTPUT_VARIABLE headers ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CXX} -M failed (${status}):\n${err}")
endif()
if(headers MATCHES "animationmodel/(${authoring_regex})\\.h")
    message(FATAL_ERROR "the runtime's headers include animationmodel/${CMAKE_MATCH_1}.h:\n${headers}")
endif()

execute_process(COMMAND ${command} -E -P RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CXX} -E -P failed (${status}):\n${err}")
endif()
string(LENGTH "${text}" length)
string(REPLACE "\n" "" joined "${text}")
string(LENGTH "${joined}" joinedLength)
math(EXPR lines "${length} - ${joinedLength}")
if(lines GREATER MAX_LINES)
    message(FATAL_ERROR "the runtime's headers preprocess to ${lines} lines, more than ${MAX_LINES}")
endif()
message(STATUS "the runtime's headers preprocess to ${lines} lines (at most ${MAX_LINES})")
