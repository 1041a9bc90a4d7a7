# The one place where the project's libraries and test programs are made.

# Warnings for every target of this project.
function(animationmodel_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wshadow
            $<$<BOOL:${ANIMATIONMODEL_WARNINGS_AS_ERRORS}>:-Werror>)
    endif()
endfunction()

# animationmodel_library(TARGET EXPORT_NAME NAME MACRO_BASE BASE [INTERNAL] [VERSION_SCRIPT MAP] SOURCES ...)
#
# A library of the project, shared or static after ANIMATIONMODEL_SHARED
# (always static when INTERNAL: a layer of the project's own libraries and
# programs, linked PRIVATE, whose symbols stay hidden inside each of them),
# with the alias animationmodel::NAME, an export header
# <animationmodel/TARGET_export.h> defining BASE_EXPORT, hidden symbols but
# the public API (the symbols that the linker version script MAP lets out,
# cmake/animationmodel.map by default), position-independent code (a static
# library links into a plugin) and the project's warnings. With GCC, symbols
# that would be STB_GNU_UNIQUE (the standard library's inline tables) are made
# plain weak symbols instead: a unique symbol pins a plugin, so that dlclose
# cannot unload it.
function(animationmodel_library target)
    cmake_parse_arguments(ARG "INTERNAL" "EXPORT_NAME;MACRO_BASE;VERSION_SCRIPT" "SOURCES" ${ARGN})
    if(NOT ARG_VERSION_SCRIPT)
        set(ARG_VERSION_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/animationmodel.map)
    endif()
    if(ANIMATIONMODEL_SHARED AND NOT ARG_INTERNAL)
        add_library(${target} SHARED ${ARG_SOURCES})
    else()
        add_library(${target} STATIC ${ARG_SOURCES})
        target_compile_definitions(${target} PUBLIC ${ARG_MACRO_BASE}_STATIC_DEFINE)
    endif()
    add_library(animationmodel::${ARG_EXPORT_NAME} ALIAS ${target})
    generate_export_header(${target} BASE_NAME ${ARG_MACRO_BASE}
        EXPORT_FILE_NAME ${PROJECT_BINARY_DIR}/include/animationmodel/${target}_export.h)
    target_include_directories(${target} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    target_compile_features(${target} PUBLIC cxx_std_17)
    set_target_properties(${target} PROPERTIES
        CXX_EXTENSIONS OFF
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        POSITION_INDEPENDENT_CODE ON
        VERSION ${PROJECT_VERSION}
        SOVERSION ${PROJECT_VERSION_MAJOR}
        INSTALL_RPATH "$ORIGIN/../lib"
        EXPORT_NAME ${ARG_EXPORT_NAME})
    if(ANIMATIONMODEL_SHARED AND NOT ARG_INTERNAL AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT APPLE AND NOT WIN32)
        target_link_options(${target} PRIVATE "LINKER:--version-script=${ARG_VERSION_SCRIPT}")
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ARG_VERSION_SCRIPT})
    endif()
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
    animationmodel_warnings(${target})
endfunction()

# animationmodel_install_library(TARGET HEADERS_DIR)
#
# Installs a library of the project into the export set, its public headers
# (the folder HEADERS_DIR/animationmodel) and its generated export header.
function(animationmodel_install_library target headers)
    install(TARGETS ${target} EXPORT animationmodelTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
    install(DIRECTORY ${headers}/animationmodel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(FILES ${PROJECT_BINARY_DIR}/include/animationmodel/${target}_export.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/animationmodel)
endfunction()

# animationmodel_program(TARGET SOURCES ... LIBRARIES ...)
#
# A program of the project (example, test, benchmark) with its warnings.
function(animationmodel_program target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES})
    set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
    animationmodel_warnings(${target})
endfunction()

# animationmodel_test(TARGET SOURCES ... LIBRARIES ...)
#
# A GoogleTest program whose tests CTest runs one by one.
function(animationmodel_test target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    animationmodel_program(${target} SOURCES ${ARG_SOURCES} LIBRARIES ${ARG_LIBRARIES} GTest::gtest_main)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
endfunction()
