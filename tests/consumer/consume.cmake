# Runs as `cmake -P`: install, then build and run the consumer two ways.
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/../run.cmake)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The tool comes with its man page (every subcommand in it) and its bash completion.
if(EXISTS ${BUILD_DIR}/tool)
    file(READ ${prefix}/share/man/man1/animationmodel.1 manpage)
    foreach(name info check format cut fit split sample render play)
        if(NOT manpage MATCHES "\n\\.SS ${name}\n")
            message(FATAL_ERROR "the man page has no section for ${name}")
        endif()
    endforeach()
    if(NOT EXISTS ${prefix}/share/bash-completion/completions/animationmodel)
        message(FATAL_ERROR "no bash completion installed")
    endif()
endif()

# 1. CMake package.
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/cmake-build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
execute_process(COMMAND ${WORK_DIR}/cmake-build/consumer WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the CMake consumer failed")
endif()

execute_process(COMMAND ${WORK_DIR}/cmake-build/consumer_compat RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the consumer of the flat header names failed")
endif()
execute_process(COMMAND ${WORK_DIR}/cmake-build/consumer_page RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the CMake consumer of the picture and the player page failed")
endif()

# Only the public API is exported: every dynamic symbol belongs to namespace
# Korva, and none is a private member.
file(GLOB libraries ${prefix}/lib*/libanimationmodel*.so.1 ${prefix}/lib*/*/libanimationmodel*.so.1)
if(NOT libraries)
    message(FATAL_ERROR "no installed shared library")
endif()
foreach(library IN LISTS libraries)
    execute_process(COMMAND nm -DC --defined-only ${library} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
    string(REGEX REPLACE "\n$" "" symbols "${symbols}")
    string(REPLACE "\n" ";" symbols "${symbols}")
    foreach(symbol IN LISTS symbols)
        if(NOT symbol MATCHES " (Korva::|typeinfo for Korva::|typeinfo name for Korva::|vtable for Korva::)"
           OR symbol MATCHES "::_[a-zA-Z]")
            message(FATAL_ERROR "${library} exports ${symbol}")
        endif()
    endforeach()
    # The type information of the exceptions, so that a program catches them by type.
    if(library MATCHES "animationmodel_json" AND NOT symbols MATCHES "typeinfo for Korva::AnimationJsonError")
        message(FATAL_ERROR "${library} does not export the type information of AnimationJsonError")
    endif()
endforeach()

# 2. pkg-config, every package of the libraries; the programs are built with
# strict warnings (-Wfloat-equal among them), which the headers must not set
# off, and the one using the player page with hidden symbols.
file(GLOB_RECURSE pc_files ${prefix}/animationmodel.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
find_program(PKG_CONFIG NAMES pkg-config pkgconf REQUIRED)
set(strict -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Wfloat-equal -Werror)
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
get_filename_component(libdir ${pc_dir} DIRECTORY)
foreach(program "animationmodel-json main.cpp" "animationmodel-player page.cpp -fvisibility=hidden")
    separate_arguments(program)
    list(POP_FRONT program package source)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir}
            ${PKG_CONFIG} --cflags --libs ${package}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "pkg-config does not know ${package}")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    run(${CXX} ${cxx_flags} -std=c++17 ${strict} ${program} -I${CONSUMER_DIR}/include ${CONSUMER_DIR}/${source}
        ${flags} -o ${WORK_DIR}/pkgconfig-${source}.out)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${WORK_DIR}/pkgconfig-${source}.out
        WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "the pkg-config consumer ${source} failed")
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir}
        ${PKG_CONFIG} --exists --print-errors animationmodel animationmodel-json animationmodel-render animationmodel-player
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "a pkg-config package is missing")
endif()
