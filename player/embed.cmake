# Runs as `cmake -P`: writes OUTPUT, a C++ source defining the player's
# script and style (the files SCRIPTS, joined, and STYLE) as string constants.
function(raw_literal variable file)
    file(READ ${file} text)
    if(text MATCHES "\\)amAsset\"")
        message(FATAL_ERROR "${file} holds the raw string delimiter")
    endif()
    set(${variable} "${${variable}}R\"amAsset(${text})amAsset\"\n" PARENT_SCOPE)
endfunction()

set(script "")
foreach(file IN LISTS SCRIPTS)
    raw_literal(script ${file})
endforeach()
set(style "")
raw_literal(style ${STYLE})
file(WRITE ${OUTPUT}.new "// Generated from player/web by player/embed.cmake; do not edit.
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
