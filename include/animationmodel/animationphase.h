#ifndef ANIMATIONMODEL_ANIMATIONPHASE_H
#define ANIMATIONMODEL_ANIMATIONPHASE_H

#include <array>
#include <cstdint>
#include <string_view>

#include <animationmodel/animationmodel_export.h>

namespace Korva {

/// The three phases of an animation, in playing order.
enum class AnimationPhase : std::uint8_t {
    Intro = 0, ///< the first phase
    Body = 1,  ///< the second phase
    Outro = 2, ///< the last phase
};

/// The three phases in playing order, for loops over them.
inline constexpr std::array<AnimationPhase, 3> animationPhases = {AnimationPhase::Intro, AnimationPhase::Body,
                                                                  AnimationPhase::Outro};

/// The name of `phase` in files, tables and messages: "intro", "body" or "outro".
ANIMATIONMODEL_EXPORT std::string_view animationPhaseName(AnimationPhase phase) noexcept;

} // namespace Korva

#endif
