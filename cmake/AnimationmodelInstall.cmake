# Installation: headers under include/animationmodel (the include directory
# given to consumers is include/, so they write <animationmodel/animation.h>),
# the libraries with their SONAME links, a CMake package with the components
# core, json, render and player, and pkg-config files.
set(ANIMATIONMODEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/animationmodel)

animationmodel_install_library(animationmodel ${PROJECT_SOURCE_DIR}/include)
install(FILES ${PROJECT_BINARY_DIR}/include/animationmodel/version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/animationmodel)
install(TARGETS animationmodel_compat EXPORT animationmodelTargets)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/compat/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/animationmodel/compat)

install(EXPORT animationmodelTargets
    NAMESPACE animationmodel::
    DESTINATION ${ANIMATIONMODEL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/animationmodelConfig.cmake.in
    ${PROJECT_BINARY_DIR}/animationmodelConfig.cmake
    INSTALL_DESTINATION ${ANIMATIONMODEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/animationmodelConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/animationmodelConfig.cmake
    ${PROJECT_BINARY_DIR}/animationmodelConfigVersion.cmake
    DESTINATION ${ANIMATIONMODEL_CMAKE_DIR})

# animationmodel_pkg_config(NAME TEMPLATE MACRO_BASE [FILES] [PRIVATE PACKAGE...]):
# NAME.pc from the template, with the static define when the libraries are
# static, and a Requires.private line (@ANIMATIONMODEL_PC_REQUIRES_PRIVATE@)
# naming the PACKAGEs the library links privately, and animationmodel-files
# for a library that links the files layer (FILES) when it is static. The
# file locates the prefix from its own folder, so an installed tree can be moved.
function(animationmodel_pkg_config name template base)
    cmake_parse_arguments(ARG "FILES" "" "PRIVATE" ${ARGN})
    if(ANIMATIONMODEL_SHARED)
        set(ANIMATIONMODEL_PC_CFLAGS "")
    else()
        set(ANIMATIONMODEL_PC_CFLAGS " -D${base}_STATIC_DEFINE")
        if(ARG_FILES)
            list(APPEND ARG_PRIVATE animationmodel-files)
        endif()
    endif()
    list(TRANSFORM ARG_PRIVATE APPEND " = ${PROJECT_VERSION}")
    list(JOIN ARG_PRIVATE ", " privates)
    set(ANIMATIONMODEL_PC_REQUIRES_PRIVATE "")
    if(privates)
        set(ANIMATIONMODEL_PC_REQUIRES_PRIVATE "Requires.private: ${privates}")
    endif()
    file(RELATIVE_PATH ANIMATIONMODEL_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
    string(REGEX REPLACE "/$" "" ANIMATIONMODEL_PC_PREFIX "${ANIMATIONMODEL_PC_PREFIX}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/${template} ${PROJECT_BINARY_DIR}/${name}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${name}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()
animationmodel_pkg_config(animationmodel animationmodel.pc.in ANIMATIONMODEL)
# The files layer's archive, which the static libraries link (none of it is installed with shared ones).
if(NOT ANIMATIONMODEL_SHARED)
    animationmodel_pkg_config(animationmodel-files animationmodel-files.pc.in ANIMATIONMODEL_FILES)
endif()

# animationmodel_companion_pkg_config(NAME MACRO_BASE LIBRARY REQUIRES DESCRIPTION [FILES] [PRIVATE PACKAGE...]):
# NAME.pc of a companion library, which requires the pkg-config package
# REQUIRES (FILES and PRIVATE as for animationmodel_pkg_config).
function(animationmodel_companion_pkg_config name base library requires description)
    set(ANIMATIONMODEL_PC_NAME ${name})
    set(ANIMATIONMODEL_PC_LIBRARY ${library})
    set(ANIMATIONMODEL_PC_REQUIRES ${requires})
    set(ANIMATIONMODEL_PC_DESCRIPTION ${description})
    animationmodel_pkg_config(${name} animationmodel-companion.pc.in ${base} ${ARGN})
endfunction()
