#ifndef ANIMATIONMODEL_ANIMATIONKEY_H
#define ANIMATIONMODEL_ANIMATIONKEY_H

#include <cstdint>
#include <optional>
#include <vector>

#include <animationmodel/animationkeycommand.h>
#include <animationmodel/animationmodel_export.h>

namespace Korva {

/// A key command held for a whole number of frames. Value type, copyable.
///
/// Invariants:
///  1. The duration is at least 1 frame.
///  2. The command satisfies its own invariants; the key holds its own copy.
///
/// Splitting never modifies the key: it returns fresh keys whose durations add
/// up to the key's duration. `Linear` pieces get interpolated start and end
/// values; the arithmetic is exact-rounding single precision at fixed steps,
/// so results are the same on every IEEE 754 platform.
class AnimationKey {
public:
    /// Builds a key holding a copy of `command`; throws `std::invalid_argument` if `duration` is 0.
    ANIMATIONMODEL_EXPORT AnimationKey(const AnimationKeyCommand& command, unsigned int duration);
    /// Builds a key that takes over `command`; throws `std::invalid_argument` if `duration` is 0.
    ANIMATIONMODEL_EXPORT AnimationKey(AnimationKeyCommand&& command, unsigned int duration);

    /// The command.
    const AnimationKeyCommand& command() const noexcept { return _command; }
    /// The number of frames the key lasts, at least 1.
    unsigned int duration() const noexcept { return _duration; }

    /// Cuts the key at `position` frames from its start.
    ///
    /// Returns two pieces of `position` and `duration() - position` frames when
    /// 0 < position < duration(); the whole key as one piece when `position` is
    /// 0 or at or past the end (for every effect value); no piece when a cut is
    /// needed but the effect has no splitting rule (outside 0 to 3). A `Linear`
    /// key [s, e] of D frames gives [s, m] and [m, e] with
    /// m = s + ((position * (e - s)) / D), each step rounded to float.
    ANIMATIONMODEL_EXPORT std::vector<AnimationKey> splitAt(unsigned int position) const;

    /// Cuts the key into ceil(duration() / length) pieces of `length` frames,
    /// the last one holding the remaining 1 to `length` frames.
    ///
    /// `Linear` values are divided evenly by the number of pieces n, not by
    /// frames: with step = (e - s) / n, piece i runs from s + i * step to
    /// s + (i + 1) * step, the shorter last piece included; a single piece keeps
    /// the arguments bit for bit. Returns no piece when the effect has no
    /// splitting rule. Throws `std::invalid_argument` if `length` is 0.
    ANIMATIONMODEL_EXPORT std::vector<AnimationKey> splitEach(unsigned int length) const;

    /// The value of a `Linear` key `frame` frames after its start; no value for other effects.
    ///
    /// Frame 0 gives the start value and a frame at or past the end the end
    /// value, bit for bit; in between, the value is computed exactly as
    /// `splitAt(frame)` computes the value at its cut, so the two always agree.
    ANIMATIONMODEL_EXPORT std::optional<float> valueAt(unsigned int frame) const noexcept;

private:
    AnimationKeyCommand _command;
    unsigned int _duration;
};

/// The length of a sequence of keys played one after the other, exactly (64-bit).
ANIMATIONMODEL_EXPORT std::uint64_t frameCountOf(const std::vector<AnimationKey>& keys) noexcept;

/// Exact member-wise equality: equal commands (arguments compared with `==`) and equal durations.
inline bool operator==(const AnimationKey& a, const AnimationKey& b) noexcept
{
    return a.duration() == b.duration() && a.command() == b.command();
}

/// Negation of `operator==`.
inline bool operator!=(const AnimationKey& a, const AnimationKey& b) noexcept
{
    return !(a == b);
}

} // namespace Korva

#endif
