#ifndef ANIMATIONMODEL_SRC_MESSAGETEXT_H
#define ANIMATIONMODEL_SRC_MESSAGETEXT_H

#include <cstdio>
#include <string>

namespace Korva {

// A float in an exception text as a stream writes it by default (printf's
// %g: six significant digits, "inf", "nan"). The messages are composed as
// strings rather than in a string stream, whose locale machinery would be a
// third of the WebAssembly module; an allocation failure throws either way.
inline std::string messageNumber(float value)
{
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

} // namespace Korva

#endif
