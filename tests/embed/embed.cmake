# Runs as `cmake -P`: configures and builds the parent project of this folder.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${EMBED_DIR} -B ${WORK_DIR} -G ${GENERATOR}
        -DANIMATIONMODEL_SOURCE_DIR=${SOURCE_DIR} -DCMAKE_CXX_COMPILER=${CXX}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "configuring the parent project failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "building the parent project failed")
endif()
