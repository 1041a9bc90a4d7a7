#ifndef ANIMATIONMODEL_ANIMATIONDOCUMENT_H
#define ANIMATIONMODEL_ANIMATIONDOCUMENT_H

#include <variant>

#include <animationmodel/animation.h>

namespace Korva {

/// What a file holds: an animation, or a timeline (layers not yet cut into
/// phases, see `Animation(const LayerMap&, unsigned int, unsigned int)`).
using AnimationDocument = std::variant<Animation, LayerMap>;

} // namespace Korva

#endif
