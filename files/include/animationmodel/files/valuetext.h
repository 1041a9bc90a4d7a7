#ifndef ANIMATIONMODEL_FILES_VALUETEXT_H
#define ANIMATIONMODEL_FILES_VALUETEXT_H

// The text of values, alike in every format and message: floats and effects.

#include <animationmodel/animationkeycommand.h>

#include <string>

namespace Korva {

/// The name of an effect of the enumeration: "Linear", "Held1", "Held2" or
/// "Held3"; nothing for other values.
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

/// The text of an effect: its name, or its integer value.
std::string effectText(AnimationKeyCommandEffect effect);

/// The text of a float: the shortest that reads back to the same float (what
/// `std::to_chars` writes), or NaN, Infinity or -Infinity.
std::string floatText(float value);

} // namespace Korva

#endif
