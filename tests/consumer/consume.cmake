# Runs as `cmake -P`: install, then build and run the consumer two ways.
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/../run.cmake)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The tool comes with its man page (every subcommand in it) and its bash completion.
if(EXISTS ${BUILD_DIR}/tool)
    file(READ ${prefix}/share/man/man1/animationmodel.1 manpage)
    foreach(name info check format cut fit split sample render play compile)
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

execute_process(COMMAND ${WORK_DIR}/cmake-build/consumer_c_abi0 RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the consumer of the C interface built with -D_GLIBCXX_USE_CXX11_ABI=0 failed")
endif()

# Only the public API is exported: every dynamic symbol belongs to namespace
# Korva, and none is a private member; the C interface's library exports its
# am_* functions and nothing else.
file(GLOB libraries ${prefix}/lib*/libanimationmodel*.so.2 ${prefix}/lib*/*/libanimationmodel*.so.2)
if(NOT libraries)
    message(FATAL_ERROR "no installed shared library")
endif()
foreach(library IN LISTS libraries)
    execute_process(COMMAND nm -DC --defined-only ${library} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
    string(REGEX REPLACE "\n$" "" symbols "${symbols}")
    string(REPLACE "\n" ";" symbols "${symbols}")
    foreach(symbol IN LISTS symbols)
        if(library MATCHES "libanimationmodel_c\\.so")
            if(NOT symbol MATCHES " T am_[a-z_]+$")
                message(FATAL_ERROR "${library} exports ${symbol}")
            endif()
            continue()
        endif()
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
foreach(program "animationmodel-json main.cpp" "animationmodel-player,animationmodel-json page.cpp -fvisibility=hidden")
    separate_arguments(program)
    list(POP_FRONT program package source)
    string(REPLACE "," ";" package "${package}")
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

# 3. The C example of docs/c-api.md, as C99, through pkg-config, run on a
#    binary clip file that the installed tool compiles.
get_filename_component(SOURCE_DIR ${CONSUMER_DIR}/../.. ABSOLUTE)
file(READ ${SOURCE_DIR}/docs/c-api.md page)
string(REGEX MATCH "```c\n([^`]*)```" block "${page}")
file(WRITE ${WORK_DIR}/play.c "${CMAKE_MATCH_1}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir}
        ${PKG_CONFIG} --cflags --libs animationmodel-c
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
find_program(CC NAMES cc gcc REQUIRED)
run(${CC} ${cxx_flags} -std=c99 -pedantic -Wall -Werror ${WORK_DIR}/play.c ${flags} -o ${WORK_DIR}/play)
if(EXISTS ${prefix}/bin/animationmodel)
    run(${prefix}/bin/animationmodel compile ${SOURCE_DIR}/examples/data/show.animation.json -o ${WORK_DIR}/show.clip)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${WORK_DIR}/play ${WORK_DIR}/show.clip
        OUTPUT_VARIABLE output RESULT_VARIABLE result)
    if(NOT result EQUAL 0 OR NOT output MATCHES "^5 channels, 96 frames at 25 fps\n.*phase 2 \\(ended\\), opacity 0\n$")
        message(FATAL_ERROR "the C example from the installed library failed (${result}): ${output}")
    endif()
endif()
