#ifndef ANIMATIONMODEL_TESTS_PRINTERS_H
#define ANIMATIONMODEL_TESTS_PRINTERS_H

// Readable GoogleTest output for the library's values.

#include <animationmodel/animationkey.h>

#include <ostream>

namespace Korva {

inline void PrintTo(const AnimationKey& key, std::ostream* out)
{
    *out << "{effect " << static_cast<int>(key.command().effect()) << ", args [";
    const char* separator = "";
    for (float arg : key.command().args()) {
        *out << separator << std::hexfloat << arg << std::defaultfloat;
        separator = ", ";
    }
    *out << "], " << key.duration() << " frames}";
}

} // namespace Korva

#endif
