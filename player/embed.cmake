# Runs as `cmake -P`: writes OUTPUT, a C++ source defining the player's
# script and style as string constants. The script is the ES modules
# SCRIPTS joined into the one inline module of the page: their import and
# re-export lines dropped and their exports made plain declarations (they
# share one scope).
function(raw_literal variable text name)
    if(text MATCHES "\\)amAsset\"")
        message(FATAL_ERROR "${name} holds the raw string delimiter")
    endif()
    string(TOLOWER "${text}" lower)
    if(lower MATCHES "</script")
        message(FATAL_ERROR "${name} holds the end of a script element")
    endif()
    # A raw string literal of at most 64 KB a piece, which every compiler takes.
    string(LENGTH "${text}" length)
    set(pieces "")
    foreach(start RANGE 0 ${length} 60000)
        string(SUBSTRING "${text}" ${start} 60000 piece)
        string(APPEND pieces "R\"amAsset(${piece})amAsset\"\n")
    endforeach()
    set(${variable} "${${variable}}${pieces}" PARENT_SCOPE)
endfunction()

set(script "")
foreach(file IN LISTS SCRIPTS)
    file(READ ${file} text)
    string(REGEX REPLACE "(^|\n)import [^\n]*" "\\1" text "${text}")
    string(REGEX REPLACE "(^|\n)export {[^\n]*} from [^\n]*" "\\1" text "${text}")
    string(REGEX REPLACE "(^|\n)export default [^\n]*" "\\1" text "${text}")
    string(REGEX REPLACE "(^|\n)export (async |class |const |function |let )" "\\1\\2" text "${text}")
    raw_literal(script "${text}\n" ${file})
endforeach()
set(style "")
file(READ ${STYLE} text)
raw_literal(style "${text}" ${STYLE})
file(WRITE ${OUTPUT}.new "// Generated from player/web and the WebAssembly module by player/embed.cmake; do not edit.
#include \"playerassets.h\"

namespace Korva::player {

const char* const script =
${script};

const char* const style =
${style};

} // namespace Korva::player
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
