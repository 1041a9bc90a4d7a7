#ifndef ANIMATIONMODEL_JSON_SRC_DOCUMENTREADER_H
#define ANIMATIONMODEL_JSON_SRC_DOCUMENTREADER_H

// Reading a document under load options, for the non-throwing entry points.

#include <animationmodel/animationjson.h>
#include <animationmodel/animationjsonload.h>

#include <string_view>

namespace Korva {

/// A valid document that the load options refuse, located as any fault.
class JsonRefusal : public AnimationJsonError {
public:
    using AnimationJsonError::AnimationJsonError;
};

/// The document of `text`; throws AnimationJsonError on a fault, JsonRefusal when `options` refuse it.
AnimationDocument readDocument(std::string_view text, const JsonLoadOptions& options);

} // namespace Korva

#endif
