#include <animationmodel/animationkey.h>

#include "runtime/floatrounding.h"

#include <cmath>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace Korva {

static_assert(std::is_nothrow_move_constructible<AnimationKey>::value,
              "vectors of keys must move, not copy, when they grow");
static_assert(std::is_nothrow_move_assignable<AnimationKey>::value, "keys must move-assign without throwing");

namespace {

void checkDuration(unsigned int duration)
{
    if (duration == 0) {
        throw std::invalid_argument("Duration of AnimationKeyCommand must be > 0");
    }
}

bool hasSplittingRule(AnimationKeyCommandEffect effect) noexcept
{
    return effect >= Linear && effect <= Held3;
}

bool isFinite(float start, float end) noexcept
{
    return std::isfinite(start) && std::isfinite(end);
}

// A Linear command like `command` whose start and end values are replaced.
AnimationKeyCommand withRamp(const AnimationKeyCommand& command, float start, float end)
{
    std::vector<float> args(command.args());
    args[0] = start;
    args[1] = end;
    return AnimationKeyCommand(command.effect(), std::move(args));
}

} // namespace

AnimationKey::AnimationKey(const AnimationKeyCommand& command, unsigned int duration)
    : _command(command), _duration(duration)
{
    checkDuration(duration);
}

AnimationKey::AnimationKey(AnimationKeyCommand&& command, unsigned int duration)
    : _command(std::move(command)), _duration(duration)
{
    checkDuration(duration);
}

std::vector<AnimationKey> AnimationKey::splitAt(unsigned int position) const
{
    std::vector<AnimationKey> pieces;
    if (position == 0 || position >= _duration) {
        pieces.push_back(*this);
        return pieces;
    }
    const AnimationKeyCommandEffect effect = _command.effect();
    if (!hasSplittingRule(effect)) {
        return pieces;
    }
    const unsigned int rest = _duration - position;
    pieces.reserve(2);
    if (effect == Linear) {
        const float start = _command.args()[0];
        const float end = _command.args()[1];
        const float mid = rampValueAt(start, end, position, _duration);
        pieces.emplace_back(withRamp(_command, start, mid), position);
        pieces.emplace_back(withRamp(_command, mid, end), rest);
    } else {
        pieces.emplace_back(_command, position);
        pieces.emplace_back(_command, rest);
    }
    return pieces;
}

std::vector<AnimationKey> AnimationKey::splitEach(unsigned int length) const
{
    if (length == 0) {
        throw std::invalid_argument(
            "Could not split AnimationKey each 0 frame: This number should be strictly higher than 0");
    }
    std::vector<AnimationKey> pieces;
    const AnimationKeyCommandEffect effect = _command.effect();
    if (!hasSplittingRule(effect)) {
        return pieces;
    }
    // Every piece lasts `length` frames except the last, which takes the
    // remaining 1 to `length` frames.
    const unsigned int count = (_duration - 1) / length + 1;
    const unsigned int lastLength = _duration - (count - 1) * length;
    pieces.reserve(count);
    if (effect != Linear || count == 1) {
        // Held pieces, and a single Linear piece, carry the command unchanged.
        for (unsigned int i = 0; i + 1 < count; ++i) {
            pieces.emplace_back(_command, length);
        }
        pieces.emplace_back(_command, lastLength);
        return pieces;
    }
    // The value range is divided by the number of pieces, not by frames: every
    // piece, the shorter last one included, advances by one step. Piece i runs
    // from boundary i to boundary i + 1, where boundary k = k * step + s is
    // computed in double and rounded to float once. Computing each boundary
    // once, rather than adding step to the previous one, means neighbouring
    // pieces share their boundary value bit for bit, and it is the value that
    // exact arithmetic rounds to whenever the double result is not a tie.
    // Finite ends whose steps overflow take the boundary computed in double.
    const float start = _command.args()[0];
    const float end = _command.args()[1];
    const double step = quotientToFloat(end - start, count);
    const bool finiteEnds = isFinite(start, end);
    const auto boundary = [&](unsigned int k) {
        const auto value = static_cast<float>(static_cast<double>(k) * step + start);
        if (std::isfinite(value) || !finiteEnds) {
            return value;
        }
        return rampInDouble(start, end, k, count);
    };
    float from = boundary(0);
    for (unsigned int i = 0; i < count; ++i) {
        const float to = boundary(i + 1);
        pieces.emplace_back(withRamp(_command, from, to), i + 1 < count ? length : lastLength);
        from = to;
    }
    return pieces;
}

std::uint64_t frameCountOf(const std::vector<AnimationKey>& keys) noexcept
{
    std::uint64_t frames = 0;
    for (const AnimationKey& key : keys) {
        frames += key.duration();
    }
    return frames;
}

std::optional<float> AnimationKey::valueAt(unsigned int frame) const noexcept
{
    if (_command.effect() != Linear) {
        return std::nullopt;
    }
    const float start = _command.args()[0];
    const float end = _command.args()[1];
    if (frame == 0) {
        return start;
    }
    if (frame >= _duration) {
        return end;
    }
    return rampValueAt(start, end, frame, _duration);
}

} // namespace Korva
