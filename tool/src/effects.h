#ifndef ANIMATIONMODEL_TOOL_EFFECTS_H
#define ANIMATIONMODEL_TOOL_EFFECTS_H

// Effects and floats written as the file format writes them.

#include "animationkeycommand.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace Korva {

/// "Linear", "Held1", "Held2", "Held3", or the effect's integer value.
inline std::string effectText(AnimationKeyCommandEffect effect)
{
    switch (effect) {
    case Linear: return "Linear";
    case Held1: return "Held1";
    case Held2: return "Held2";
    case Held3: return "Held3";
    }
    return std::to_string(static_cast<std::int32_t>(effect));
}

/// The shortest text that reads back to `value`; NaN, Infinity or -Infinity.
inline std::string formatFloat(float value)
{
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "Infinity" : "-Infinity";
    }
    char digits[32];
    const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, written.ptr);
}

} // namespace Korva

#endif
