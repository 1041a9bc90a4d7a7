#ifndef ANIMATIONMODEL_LOADREFUSAL_H
#define ANIMATIONMODEL_LOADREFUSAL_H

// A valid clip that the load options refuse, in a form that has no place in a
// JSON text (a binary clip file's), and the texts of those refusals, which a
// JSON document's refusals give too.

#include <stdexcept>
#include <string>

#include <animationmodel/animationmodel_json_export.h>

namespace Korva {

/// A clip refused by the load options (see `JsonLoadOptions`): `recordCurrentException` records it as `Refused`.
class ANIMATIONMODEL_JSON_EXPORT LoadRefusal : public std::invalid_argument {
public:
    /// A refusal explained by `message`.
    explicit LoadRefusal(const std::string& message);

    /// "fps FPS is below the minimum of MINIMUM".
    static std::string lowFpsText(float fps, float minimum);
    /// "an argument that is not finite is refused".
    static const char* nonFiniteArgumentText() noexcept;
};

} // namespace Korva

#endif
