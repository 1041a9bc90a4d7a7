#include <animationmodel/files/valuetext.h>

#include <charconv>
#include <cmath>
#include <cstdint>

namespace Korva {

std::string effectText(AnimationKeyCommandEffect effect)
{
    if (const char* name = effectName(effect)) {
        return name;
    }
    return std::to_string(static_cast<std::int32_t>(effect));
}

std::string floatText(float value)
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
