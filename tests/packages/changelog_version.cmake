# Runs as `cmake -P` with CHANGELOG (debian/changelog) and VERSION (the
# project's): the newest entry of the changelog, which gives the Debian
# packages their version, must be the project's version.
file(STRINGS ${CHANGELOG} first LIMIT_COUNT 1)
if(NOT first MATCHES "^animationmodel \\(([^)]*)\\) ")
    message(FATAL_ERROR "${CHANGELOG}: the first line is not an entry of animationmodel: ${first}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "${CHANGELOG} says ${CMAKE_MATCH_1} but the project's version is ${VERSION}")
endif()
