#ifndef ANIMATIONMODEL_JSON_SRC_FORMATNAMES_H
#define ANIMATIONMODEL_JSON_SRC_FORMATNAMES_H

// The names the file format gives documents (effects are named by
// effectName of the files layer), shared by the writer and the reader.

#include <animationmodel/files/valuetext.h>

#include <string_view>

namespace Korva::jsonformat {

/// The "format" of an animation document.
constexpr std::string_view animationFormat = "animationmodel";
/// The "format" of a timeline document.
constexpr std::string_view timelineFormat = "animationmodel-timeline";

} // namespace Korva::jsonformat

#endif
