#ifndef ANIMATIONMODEL_SRC_CLIPEVENTHINT_H
#define ANIMATIONMODEL_SRC_CLIPEVENTHINT_H

// What a tracker of key events keeps per channel, so that a move that goes on
// from where the last one ended finds its channel's next key without a search.

#include <animationmodel/clipevents.h>

#include <cstddef>
#include <cstdint>
#include <limits>

namespace Korva {

/// No frame: past every key.
inline constexpr std::uint64_t noFrame = std::numeric_limits<std::uint64_t>::max();

/// A channel's key: its first frame (from the intro's first frame; `noFrame` for none), index and phase.
struct ClipNextKey {
    std::uint64_t frame = noFrame;
    std::uint64_t key = 0;
    std::uint64_t phase = 0;
};

/// The channel's first key that begins at or after frame `from`.
struct ClipEventHint {
    std::uint64_t from = noFrame;
    ClipNextKey next;
};

/// `collectKeyEvents`, reading and updating hints[channel] for each channel when `hints` is not null.
std::size_t collectEvents(const AnimationClip& clip, const ClipSpan& span, const std::uint32_t* channels,
                          std::size_t channelCount, ClipKeyEvent* out, std::size_t capacity,
                          ClipEventHint* hints) noexcept;

} // namespace Korva

#endif
