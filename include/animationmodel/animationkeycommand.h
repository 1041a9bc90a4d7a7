#ifndef ANIMATIONMODEL_ANIMATIONKEYCOMMAND_H
#define ANIMATIONMODEL_ANIMATIONKEYCOMMAND_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include <animationmodel/animationmodel_export.h>

namespace Korva {

/// What a key does while it is held. Values outside 0 to 3 may be stored in a
/// command; they expect no argument and have no splitting rule.
enum AnimationKeyCommandEffect : std::int32_t {
    Linear = 0, ///< interpolates from a start value (argument 0) to an end value (argument 1)
    Held1 = 1,  ///< held state, no argument
    Held2 = 2,  ///< held state, no argument
    Held3 = 3,  ///< held state, no argument
};

/// An effect and the float arguments it needs. Value type, copyable.
///
/// Invariants:
///  1. The number of arguments equals the count the effect expects: 2 for
///     `Linear`, 0 for every other value.
///  2. Every operation that sets the effect or the arguments checks (1) before
///     it changes anything; a refused call throws `std::invalid_argument` and
///     leaves the command as it was (strong guarantee, allocation failure
///     included).
///
/// Copies and moves are member-wise and do not run the check again.
class AnimationKeyCommand {
public:
    /// Builds a command without arguments; throws `std::invalid_argument` for `Linear`.
    ANIMATIONMODEL_EXPORT explicit AnimationKeyCommand(AnimationKeyCommandEffect effect);
    /// Builds a command holding a copy of `args`; throws `std::invalid_argument` on a wrong count.
    ANIMATIONMODEL_EXPORT AnimationKeyCommand(AnimationKeyCommandEffect effect, const std::vector<float>& args);
    /// Builds a command that takes over `args`; on a wrong count throws and leaves `args` untouched.
    ANIMATIONMODEL_EXPORT AnimationKeyCommand(AnimationKeyCommandEffect effect, std::vector<float>&& args);

    /// Changes the effect, keeping the arguments; throws if they do not fit the new effect.
    ANIMATIONMODEL_EXPORT void setEffect(AnimationKeyCommandEffect effect);
    /// Replaces the arguments, keeping the effect; throws if their count does not fit it.
    ANIMATIONMODEL_EXPORT void setArgs(const std::vector<float>& args);
    /// Replaces effect and arguments together; the one way to change between effects of different counts.
    ANIMATIONMODEL_EXPORT void setEffectAndArgs(AnimationKeyCommandEffect effect, const std::vector<float>& args);

    /// The effect.
    AnimationKeyCommandEffect effect() const noexcept { return _effect; }
    /// The arguments, in order.
    const std::vector<float>& args() const noexcept { return _args; }

    /// The number of arguments `effect` expects.
    ANIMATIONMODEL_EXPORT static std::size_t expectedArgCount(AnimationKeyCommandEffect effect) noexcept;

private:
    static void _checkRightNumberOfArgs(AnimationKeyCommandEffect effect, std::size_t count);

    AnimationKeyCommandEffect _effect;
    std::vector<float> _args;
};

/// Exact member-wise equality: same effect value and the same arguments, compared with `==`
/// (so a NaN argument never compares equal, and 0.0 equals -0.0).
inline bool operator==(const AnimationKeyCommand& a, const AnimationKeyCommand& b) noexcept
{
    return a.effect() == b.effect() && a.args() == b.args();
}

/// Negation of `operator==`.
inline bool operator!=(const AnimationKeyCommand& a, const AnimationKeyCommand& b) noexcept
{
    return !(a == b);
}

} // namespace Korva

#endif
