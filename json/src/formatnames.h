#ifndef ANIMATIONMODEL_JSON_SRC_FORMATNAMES_H
#define ANIMATIONMODEL_JSON_SRC_FORMATNAMES_H

// The names the file format gives documents and effects, shared by the
// writer and the reader.

#include <animationmodel/animationkeycommand.h>

#include <string_view>

namespace Korva::jsonformat {

/// The "format" of an animation document.
constexpr std::string_view animationFormat = "animationmodel";
/// The "format" of a timeline document.
constexpr std::string_view timelineFormat = "animationmodel-timeline";

/// The name of an effect of the enumeration; nothing for other values.
constexpr const char* effectName(AnimationKeyCommandEffect effect) noexcept
{
    switch (effect) {
    case Linear: return "Linear";
    case Held1: return "Held1";
    case Held2: return "Held2";
    case Held3: return "Held3";
    }
    return nullptr;
}

} // namespace Korva::jsonformat

#endif
