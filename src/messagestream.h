#ifndef ANIMATIONMODEL_SRC_MESSAGESTREAM_H
#define ANIMATIONMODEL_SRC_MESSAGESTREAM_H

#include <ios>
#include <sstream>

namespace Korva {

// A string stream for composing exception texts. A plain stream swallows an
// allocation failure and leaves a truncated text; this one lets the
// std::bad_alloc through.
inline std::ostringstream messageStream()
{
    std::ostringstream stream;
    stream.exceptions(std::ios::badbit);
    return stream;
}

} // namespace Korva

#endif
