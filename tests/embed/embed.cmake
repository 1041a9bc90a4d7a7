# Runs as `cmake -P`: configures the parent project of this folder, builds it,
# loads and unloads its plugin, then configures it again as a parent that
# changes its mind would (the same build folder each time).
file(REMOVE_RECURSE ${WORK_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/../run.cmake)

# configure(EXPECTED_TYPE EXPECT_RENDER [-D...]...)
function(configure type render)
    run(${CMAKE_COMMAND} -S ${EMBED_DIR} -B ${WORK_DIR} -G ${GENERATOR} -DANIMATIONMODEL_SOURCE_DIR=${SOURCE_DIR}
        -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}" -DEXPECT_LIBRARY_TYPE=${type} -DEXPECT_RENDER=${render} ${ARGN})
endfunction()

# Static, core and format only; the plugin unloads.
configure(STATIC_LIBRARY OFF -DPARENT_SETS_SHARED=OFF)
run(${CMAKE_COMMAND} --build ${WORK_DIR})
file(GLOB plugin ${WORK_DIR}/*parent_plugin.*)
run(${WORK_DIR}/plugin_host ${plugin})

# The parent turns BUILD_SHARED_LIBS on, then off again: the libraries follow.
configure(SHARED_LIBRARY OFF -DPARENT_SETS_SHARED=ON -DBUILD_SHARED_LIBS=ON)
configure(STATIC_LIBRARY OFF -DPARENT_SETS_SHARED=ON -DBUILD_SHARED_LIBS=OFF)
# ANIMATIONMODEL_SHARED set explicitly wins over BUILD_SHARED_LIBS, both ways;
# emptied, it follows BUILD_SHARED_LIBS again.
configure(SHARED_LIBRARY OFF -DPARENT_SETS_SHARED=ON -DBUILD_SHARED_LIBS=OFF -DANIMATIONMODEL_SHARED=ON)
configure(STATIC_LIBRARY OFF -DPARENT_SETS_SHARED=ON -DBUILD_SHARED_LIBS=ON -DANIMATIONMODEL_SHARED=OFF)
configure(SHARED_LIBRARY OFF -DPARENT_SETS_SHARED=ON -DBUILD_SHARED_LIBS=ON -DANIMATIONMODEL_SHARED=)
# The picture and the player page, asked for.
configure(SHARED_LIBRARY ON -DPARENT_SETS_SHARED=ON -DANIMATIONMODEL_BUILD_RENDER=ON)
