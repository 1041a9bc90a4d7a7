#ifndef ANIMATIONMODEL_SRC_CLIPCHANNEL_H
#define ANIMATIONMODEL_SRC_CLIPCHANNEL_H

// What a cursor keeps per channel: the stretch of frames it is on (a key, or
// a gap without key up to the end of a phase, or the end of the clip) and
// what sampling there needs, so that a sample inside it reads nothing else.

#include <animationmodel/cliparrays.h>
#include <animationmodel/clipcursor.h>

#include "floatrounding.h"

#include <array>
#include <cstdint>
#include <limits>

namespace Korva {

struct ClipChannelState {
    /// First frame of the stretch, from the intro's first frame.
    std::uint64_t start = 0;
    /// One past its last frame; the largest value at the end of the clip.
    std::uint64_t end = 0;
    /// The key's duration, when a Linear key.
    double length = 1.0;
    /// The key's start and end values, when a Linear key.
    float from = 0.0f;
    float to = 0.0f;
    /// The value held when the stretch is not a Linear key.
    float held = 0.0f;
    /// The key's effect (0 when no key).
    std::int32_t effect = 0;
    /// The key's index (a gap: the track's end), and the number of Linear keys before it.
    std::uint64_t key = 0;
    std::uint64_t linear = 0;
    /// The phase (0 to 2; 3 at the end of the clip).
    std::uint8_t phase = 0;
    /// True on a key, true on a Linear key.
    bool keyed = false;
    bool linearKey = false;

    /// The value at `offset` frames from `start` (`offset` < the stretch's length).
    float valueAt(double offset) const noexcept
    {
        if (!linearKey) {
            return held;
        }
        return offset == 0.0 ? from : rampValueAt(from, to, offset, length);
    }
};

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
    void moveTo(ClipChannelState& state, std::uint64_t channel, std::uint64_t frame) const noexcept
    {
        if (frame >= state.end) {
            for (int steps = 0; steps < 4 && state.keyed && frame >= state.end; ++steps) {
                stepForward(state, channel);
            }
            if (frame < state.end) {
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
    void stepForward(ClipChannelState& state, std::uint64_t channel) const noexcept;
    void enterKey(ClipChannelState& state, std::uint64_t key) const noexcept;

    const ClipArrays& _arrays;
    std::array<std::uint64_t, 4> _phaseStarts;
};

} // namespace Korva

#endif
