#ifndef ANIMATIONMODEL_TOOL_RENDER_H
#define ANIMATIONMODEL_TOOL_RENDER_H

// The picture of an animation or a timeline, as SVG.

#include <animationmodel/animationjson.h>

#include <string>

namespace Korva {

/// An SVG picture of `document` about `width` pixels wide: time runs left to
/// right on a frame axis (also labelled in seconds at `fps`), the phases are
/// shaded bands, every layer a row of keys coloured by effect. Keys narrower
/// than a few pixels are merged into one mark per pixel column, so the size
/// grows with the layers and the width, not with the number of keys.
std::string renderSvg(const AnimationDocument& document, const std::string& title, unsigned int width);

} // namespace Korva

#endif
