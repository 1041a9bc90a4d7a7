#include <animationmodel/animationkeycommand.h>

#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace Korva {

static_assert(std::is_nothrow_move_constructible<AnimationKeyCommand>::value,
              "vectors of commands must move, not copy, when they grow");
static_assert(std::is_nothrow_move_assignable<AnimationKeyCommand>::value,
              "commands must move-assign without throwing");

AnimationKeyCommand::AnimationKeyCommand(AnimationKeyCommandEffect effect) : _effect(effect)
{
    _checkRightNumberOfArgs(effect, 0);
}

AnimationKeyCommand::AnimationKeyCommand(AnimationKeyCommandEffect effect, const std::vector<float>& args)
    : _effect(effect)
{
    // Checking before copying spares an allocation on refusal.
    _checkRightNumberOfArgs(effect, args.size());
    _args = args;
}

AnimationKeyCommand::AnimationKeyCommand(AnimationKeyCommandEffect effect, std::vector<float>&& args) : _effect(effect)
{
    _checkRightNumberOfArgs(effect, args.size());
    _args = std::move(args);
}

void AnimationKeyCommand::setEffect(AnimationKeyCommandEffect effect)
{
    _checkRightNumberOfArgs(effect, _args.size());
    _effect = effect;
}

void AnimationKeyCommand::setArgs(const std::vector<float>& args)
{
    _checkRightNumberOfArgs(_effect, args.size());
    std::vector<float> copy(args);
    _args.swap(copy);
}

void AnimationKeyCommand::setEffectAndArgs(AnimationKeyCommandEffect effect, const std::vector<float>& args)
{
    _checkRightNumberOfArgs(effect, args.size());
    // Copy first: only operations that cannot throw touch the command.
    std::vector<float> copy(args);
    _effect = effect;
    _args.swap(copy);
}

std::size_t AnimationKeyCommand::expectedArgCount(AnimationKeyCommandEffect effect) noexcept
{
    return effect == Linear ? 2 : 0;
}

void AnimationKeyCommand::_checkRightNumberOfArgs(AnimationKeyCommandEffect effect, std::size_t count)
{
    const std::size_t expected = expectedArgCount(effect);
    if (count == expected) {
        return;
    }
    throw std::invalid_argument("Could not set attributes of AnimationKeyCommand: the number of arguments "
                                "does not correspond to the command ("
                                + std::to_string(count) + " arguments given but " + std::to_string(expected)
                                + " expected for command " + std::to_string(static_cast<std::int32_t>(effect)) + ")");
}

} // namespace Korva
