#ifndef ANIMATIONMODEL_TESTS_TESTKEYS_H
#define ANIMATIONMODEL_TESTS_TESTKEYS_H

// Keys that the unit tests build over and over.

#include <animationmodel/animationkey.h>

namespace Korva {

/// Effects without a name: any 32-bit value is an effect.
inline constexpr auto Effect7 = static_cast<AnimationKeyCommandEffect>(7);
inline constexpr auto EffectMinus1 = static_cast<AnimationKeyCommandEffect>(-1);

/// A Linear key from `start` to `end` over `duration` frames.
inline AnimationKey ramp(float start, float end, unsigned int duration)
{
    return AnimationKey(AnimationKeyCommand(Linear, {start, end}), duration);
}

/// A key of `effect`, without arguments, over `duration` frames.
inline AnimationKey held(AnimationKeyCommandEffect effect, unsigned int duration)
{
    return AnimationKey(AnimationKeyCommand(effect), duration);
}

} // namespace Korva

#endif
