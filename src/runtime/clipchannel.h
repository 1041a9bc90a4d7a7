#ifndef ANIMATIONMODEL_SRC_CLIPCHANNEL_H
#define ANIMATIONMODEL_SRC_CLIPCHANNEL_H

// What a cursor keeps per channel: the stretch of frames it is on (a key, or
// a gap without key up to the end of a phase, or the end of the clip) and
// what sampling there needs, so that a sample inside it reads nothing else.

#include <animationmodel/cliparrays.h>
#include <animationmodel/clipcursor.h>

#include "compilerhints.h"
#include "floatrounding.h"

#include <array>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <limits>

namespace Korva {

// One cache line a channel: what a sample in order reads lies in one line.
struct alignas(64) ClipChannelState {
    /// First frame of the stretch, from the intro's first frame.
    std::uint64_t start = 0;
    /// One past its last frame; the largest value at the end of the clip.
    std::uint64_t end = 0;
    /// The key's duration, when a Linear key; else 1.
    double length = 1.0;
    /// The key's index (a gap: the track's end), and the number of Linear keys before it.
    std::uint64_t key = 0;
    std::uint64_t linear = 0;
    /// A Linear key's start value; else the held value.
    float from = 0.0f;
    /// A Linear key's end value; else the held value.
    float to = 0.0f;
    /// fl(to - from) on a Linear key; else -0, which leaves `from` unchanged, even -0.
    float delta = -0.0f;
    /// The channel's last Linear end before the stretch (NaN when none).
    float held = 0.0f;
    /// The key's effect (0 when no key).
    std::int32_t effect = 0;
    /// The phase (0 to 2; 3 at the end of the clip).
    std::uint8_t phase = 0;
    /// True when the stretch lasts at most 2^29 frames.
    bool shortKey = true;
    /// True on a Linear key with finite ends whose single-precision steps may overflow.
    bool mayOverflow = false;
    /// True on a key.
    bool keyed = false;

    /// True on a Linear key.
    bool linearKey() const noexcept { return keyed && effect == 0; }

    /// The value at `offset` frames from `start` (`offset` < the stretch's length).
    ///
    /// The ramp's steps in double, each converted to float: fl(offset ×
    /// delta) is the conversion of the double product unless that product
    /// lies exactly on the midpoint between two floats, where the exact value
    /// may lie on either side (`whole` says that `offset` is a whole number:
    /// in a key of at most 2^29 frames the product is then exact, and its
    /// conversion rounded once whatever it is); likewise fl(scaled ÷ length).
    /// Those rare cases, results in the float subnormal range (whose
    /// midpoints lie elsewhere) and keys whose steps may overflow take the
    /// exact steps of `rampValueAt`. Off a Linear key the ramp is -0 over 1
    /// frame, never rare, and gives the held value.
    ANIMATIONMODEL_HOT_INLINE float valueAt(double offset, bool whole) const noexcept
    {
        const double scaled = offset * static_cast<double>(delta);
        const double share = static_cast<double>(static_cast<float>(scaled)) / length;
        float value = from + static_cast<float>(share);
        // One branch, rarely taken: the conditions combined bit by bit.
        const bool exactProduct = whole & shortKey;
        const unsigned rare = (static_cast<unsigned>(nearMidpoint(scaled)) & static_cast<unsigned>(!exactProduct))
            | static_cast<unsigned>(nearMidpoint(share)) | static_cast<unsigned>(mayOverflow);
        if (ANIMATIONMODEL_UNLIKELY(rare != 0)) {
            value = exactValueAt(offset);
        }
        return offset == 0.0 ? from : value;
    }

    /// The value at `offset` by the exact steps, out of line: the rare case.
    ANIMATIONMODEL_COLD float exactValueAt(double offset) const noexcept
    {
        return rampValueAt(from, to, offset, length);
    }

    /// True when `result` lies on a midpoint between two normal floats, or in
    /// the float subnormal range (not 0), where converting it may round
    /// other than its exact value.
    ANIMATIONMODEL_HOT_INLINE static bool nearMidpoint(double result) noexcept
    {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &result, sizeof(bits));
        const std::uint64_t magnitude = bits & 0x7FFFFFFFFFFFFFFFu;
        // The 29 bits below a float's precision: 1000...0 at a midpoint.
        const bool midpoint = (bits & 0x1FFFFFFFu) == 0x10000000u;
        constexpr std::uint64_t smallestNormalFloat = 0x3810000000000000u; // 2^-126
        // Not 0 and below 2^-126: 0 wraps around to the largest value.
        const bool subnormal = magnitude - 1 < smallestNormalFloat - 1;
        return midpoint || subnormal;
    }
};

static_assert(sizeof(ClipChannelState) == 64, "a channel's state fills one cache line");

// True when the ramp of `length` frames from `from` by `delta` (fl(to -
// from)) of finite ends may overflow in single precision: fl(offset × delta)
// for offset < length stays within |delta| × length × (1 + 2^-24), and
// fl(that ÷ length) within |delta| × (1 + 2^-22), so steps whose bounds stay
// below the largest float by that margin cannot.
inline bool rampMayOverflow(float from, float to, float delta, double length) noexcept
{
    const bool finite = (static_cast<unsigned>(std::isfinite(from)) & static_cast<unsigned>(std::isfinite(to))) != 0;
    constexpr double margin = 1.0 + 0x1p-20;
    const double slope = std::fabs(static_cast<double>(delta));
    const double largest = std::numeric_limits<float>::max();
    const bool productFits = slope * length * margin < largest;
    const bool sumFits = std::fabs(static_cast<double>(from)) + slope * margin < largest;
    return finite & !(productFits & sumFits);
}

// A state off any Linear key, holding `held`: the ramp that `valueAt`
// computes anyway is -0 over 1 frame from the held value.
inline void leaveRamp(ClipChannelState& state, float held) noexcept
{
    state.held = held;
    state.from = held;
    state.to = held;
    state.delta = -0.0f;
    state.length = 1.0;
    state.shortKey = true;
    state.mayOverflow = false;
}

/// A position split into its whole frame and the fraction past it.
struct ClipPosition {
    std::uint64_t frame = 0;
    double fraction = 0.0;
};

/// Moves a channel's state to the stretch that holds a frame.
class ClipChannelMover {
public:
    /// For the channels of `arrays`.
    explicit ClipChannelMover(const ClipArrays& arrays) noexcept;

    /// `state` of channel `channel` moved to the stretch that holds `frame` (< the clip's end, or the end).
    ANIMATIONMODEL_HOT_INLINE void moveTo(ClipChannelState& state, std::uint64_t channel,
                                          std::uint64_t frame) const noexcept
    {
        if (frame >= state.end) {
            // One step serves playing in order (a stretch lasts at least a
            // frame); anything further is a jump, cheaper to seek than to walk.
            if (state.keyed && frame - state.end < nextLength(state, channel)) {
                stepForward(state, channel);
                return;
            }
        } else if (frame >= state.start) {
            return;
        }
        seek(state, channel, frame);
    }

    /// `state` of channel `channel` placed on the stretch that holds `frame`, by binary search.
    void seek(ClipChannelState& state, std::uint64_t channel, std::uint64_t frame) const noexcept;

    /// The position of `frame`, clamped to [0, the clip's end].
    ClipPosition positionOf(double frame) const noexcept;

private:
    /// The length of the stretch after a key: the next key's, or the gap to the phase's end.
    ANIMATIONMODEL_HOT_INLINE std::uint64_t nextLength(const ClipChannelState& state,
                                                       std::uint64_t channel) const noexcept
    {
        const std::uint64_t next = state.key + 1;
        return next < _arrays.trackKeys[3 * channel + state.phase + 1] ? _arrays.durations[next]
                                                                       : _phaseStarts[state.phase + 1u] - state.end;
    }
    void stepForward(ClipChannelState& state, std::uint64_t channel) const noexcept;
    void enterKey(ClipChannelState& state, std::uint64_t key) const noexcept;

    const ClipArrays& _arrays;
    std::array<std::uint64_t, 4> _phaseStarts;
};

inline void ClipChannelMover::enterKey(ClipChannelState& state, std::uint64_t key) const noexcept
{
    state.key = key;
    const std::uint32_t duration = _arrays.durations[key];
    state.end = state.start + duration;
    state.effect = _arrays.effects[key];
    state.keyed = true;
    const bool linear = state.effect == 0;
    // Branchless (a key's effect is not predictable): off a Linear key, the
    // ramp of `leaveRamp` from the held value.
    const float heldPair[2] = {state.held, state.held};
    // 2 × linear <= linearArgs.size: at most one past the end when no Linear key follows.
    const float* args = linear ? _arrays.linearArgs.data + 2 * state.linear : heldPair;
    state.from = args[0];
    state.to = args[1];
    state.delta = linear ? state.to - state.from : -0.0f;
    state.length = linear ? duration : 1u;
    state.shortKey = duration <= (1u << 29) || !linear;
    state.mayOverflow = rampMayOverflow(state.from, state.to, state.delta, state.length);
}

inline void ClipChannelMover::stepForward(ClipChannelState& state, std::uint64_t channel) const noexcept
{
    // Branchless: a Linear key's end becomes the held value.
    const bool linear = state.linearKey();
    state.held = linear ? state.to : state.held;
    state.linear += linear ? 1 : 0;
    state.start = state.end;
    const std::uint64_t next = state.key + 1;
    if (next < _arrays.trackKeys[3 * channel + state.phase + 1]) {
        enterKey(state, next);
        return;
    }
    state.key = next;
    state.end = _phaseStarts[state.phase + 1u];
    state.effect = 0;
    state.keyed = false;
    leaveRamp(state, state.held);
}

} // namespace Korva

#endif
